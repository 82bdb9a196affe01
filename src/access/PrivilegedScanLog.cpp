#include "access/PrivilegedScanLog.hpp"

#include <cstdlib>
#include <syslog.h>

namespace quillmere {

std::string formatLogLine(std::string_view format, std::initializer_list<std::string_view> arguments,
                          bool showPrivate) {
    constexpr std::string_view kPrivate = "%s";
    constexpr std::string_view kPublic = "%{public}s";
    std::string out;
    auto next = arguments.begin();
    while (!format.empty()) {
        const bool isPublic = format.starts_with(kPublic);
        if (isPublic || format.starts_with(kPrivate)) {
            const std::string_view argument = next != arguments.end() ? *next++ : std::string_view{};
            out += isPublic || showPrivate ? argument : "<private>";
            format.remove_prefix(isPublic ? kPublic.size() : kPrivate.size());
            continue;
        }
        out += format.front();
        format.remove_prefix(1);
    }
    return out;
}

void PrivilegedScanLog::write(LogLevel level, std::string_view format,
                              std::initializer_list<std::string_view> arguments) {
    writeLine(level, formatLogLine(format, arguments, showPrivate_));
}

SyslogPrivilegedScanLog::SyslogPrivilegedScanLog()
    : PrivilegedScanLog([] {
          const char* value = std::getenv("QUILLMERE_LOG_PRIVATE");
          return value != nullptr && std::string_view(value) == "1";
      }()) {
    ::openlog("com.quillmere.app", LOG_PID, LOG_USER);
}

SyslogPrivilegedScanLog& SyslogPrivilegedScanLog::shared() {
    static SyslogPrivilegedScanLog log;
    return log;
}

void SyslogPrivilegedScanLog::writeLine(LogLevel level, const std::string& text) {
    ::syslog(level == LogLevel::error ? LOG_ERR : LOG_NOTICE, "privileged-scan: %s", text.c_str());
}

std::vector<LogLine> CapturedPrivilegedScanLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

void CapturedPrivilegedScanLog::writeLine(LogLevel level, const std::string& text) {
    std::lock_guard lock(mutex_);
    lines_.push_back({level, text});
}

} // namespace quillmere
