#pragma once

#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

enum class LogLevel { notice, error };

struct LogLine {
    LogLevel level = LogLevel::notice;
    std::string text;

    bool operator==(const LogLine&) const = default;
};

// `format` with each "%s" replaced by the next argument, or by "<private>" unless
// `showPrivate`, and each "%{public}s" by the next argument as it stands.
std::string formatLogLine(std::string_view format, std::initializer_list<std::string_view> arguments,
                          bool showPrivate);

// Where the privileged scan writes what went wrong; the only log the application keeps.
class PrivilegedScanLog {
public:
    virtual ~PrivilegedScanLog() = default;
    void write(LogLevel level, std::string_view format, std::initializer_list<std::string_view> arguments);

protected:
    explicit PrivilegedScanLog(bool showPrivate) : showPrivate_(showPrivate) {}
    virtual void writeLine(LogLevel level, const std::string& text) = 0;

private:
    bool showPrivate_;
};

// The system log: identity "com.quillmere.app", each line prefixed "privileged-scan: ";
// private arguments shown only when QUILLMERE_LOG_PRIVATE=1.
class SyslogPrivilegedScanLog final : public PrivilegedScanLog {
public:
    SyslogPrivilegedScanLog();
    static SyslogPrivilegedScanLog& shared();

protected:
    void writeLine(LogLevel level, const std::string& text) override;
};

// Keeps every line for tests to read.
class CapturedPrivilegedScanLog final : public PrivilegedScanLog {
public:
    explicit CapturedPrivilegedScanLog(bool showPrivate = false) : PrivilegedScanLog(showPrivate) {}
    std::vector<LogLine> lines() const;

protected:
    void writeLine(LogLevel level, const std::string& text) override;

private:
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

} // namespace quillmere
