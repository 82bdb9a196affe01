#include "platform/TrashDirectorySizes.hpp"

#include "platform/DiskUsage.hpp"
#include "platform/HostSystem.hpp"
#include "platform/TrashInfo.hpp"
#include "platform/WriteAll.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillmere::platform {
namespace {

// A cache larger than this is left alone rather than read whole.
constexpr size_t kMaxDirectorySizesBytes = 16 << 20;
constexpr const char* kCacheName = "directorysizes";
constexpr const char* kLockName = "directorysizes.lock";

// Opens on a Trash of any device never wait: a FIFO or a terminal put in a file's place would
// otherwise hold the open until someone writes to it. Only a plain file is then read.
constexpr int kNeverWaits = O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC;

// The cache's text; empty when there is none yet; nothing when it is there but cannot be
// read whole (then it must not be replaced).
std::optional<std::string> readCache(int trashFd) {
    Fd fd(::openat(trashFd, kCacheName, O_RDONLY | kNeverWaits));
    if (!fd) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<size_t>(info.st_size) > kMaxDirectorySizesBytes)
        return std::nullopt;
    std::string text;
    char buffer[64 * 1024];
    // A file that grows while read stops at the cap.
    while (text.size() <= kMaxDirectorySizesBytes) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return text;
        text.append(buffer, static_cast<size_t>(got));
    }
    return std::nullopt;
}

std::string_view nameField(std::string_view line) {
    const size_t first = line.find(' ');
    if (first == std::string_view::npos) return {};
    const size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return {};
    return line.substr(second + 1);
}

// The bytes of each folder, measured now: one folder on every processor, many folders each
// on a thread of its own (a run of thousands of small folders must not start a pool per folder).
std::vector<std::optional<int64_t>> measured(int filesFd, const std::vector<std::string>& entries) {
    std::vector<std::optional<int64_t>> bytes(entries.size());
    const auto measure = [&](size_t index, int threads) {
        const Fd moved(
            ::openat(filesFd, entries[index].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (moved) bytes[index] = diskUsageOfDirectory(moved.get(), threads);
    };
    if (entries.size() == 1) {
        measure(0, 0);
        return bytes;
    }
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t index = next++; index < entries.size(); index = next++)
            measure(index, 1);
    };
    const size_t threads =
        std::min<size_t>(entries.size(), static_cast<size_t>(std::clamp(activeProcessorCount(), 1, 8)));
    std::vector<std::jthread> helpers;
    try {
        for (size_t i = 1; i < threads; ++i)
            helpers.emplace_back(work);
    } catch (...) {
        // Fewer helpers, or none: this thread measures the rest.
    }
    work();
    return bytes;
}

// The lines of the folders moved into one Trash, measured now.
std::vector<std::string> measuredLines(int trashFd, const std::vector<std::string>& entries) {
    std::vector<std::string> lines;
    constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const Fd files(::openat(trashFd, "files", kFolderFlags));
    const Fd info(::openat(trashFd, "info", kFolderFlags));
    if (!files || !info) return lines;
    const std::vector<std::optional<int64_t>> bytes = measured(files.get(), entries);
    for (size_t i = 0; i < entries.size(); ++i) {
        struct stat record {};
        const std::string recordName = entries[i] + std::string(kTrashInfoSuffix);
        if (!bytes[i] || ::fstatat(info.get(), recordName.c_str(), &record, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        lines.push_back(directorySizesLine(*bytes[i], static_cast<int64_t>(record.st_mtime), entries[i]));
    }
    return lines;
}

// Merges `lines` into the cache of the Trash open at `trashFd`, under the lock.
void mergeIntoCache(int trashFd, const std::vector<std::string>& lines) {
    const Fd lock(::openat(trashFd, kLockName, O_RDWR | O_CREAT | kNeverWaits, 0600));
    if (!lock) return;
    while (::flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR) return;
    const std::optional<std::string> current = readCache(trashFd);
    if (!current) return;
    const std::string text = mergedDirectorySizes(*current, lines);
    const std::string temporary = std::string(kCacheName) + "." + std::to_string(::getpid()) + ".tmp";
    // Only the lock's holder writes this name; one left by a crash is replaced.
    ::unlinkat(trashFd, temporary.c_str(), 0);
    Fd out(::openat(trashFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out) return;
    const bool ok = writeAll(out.get(), text);
    const int closed = ::close(out.release());
    if (!ok || closed != 0 || ::renameat(trashFd, temporary.c_str(), trashFd, kCacheName) != 0)
        ::unlinkat(trashFd, temporary.c_str(), 0);
}

} // namespace

std::string mergedDirectorySizes(std::string_view current, const std::vector<std::string>& lines) {
    std::set<std::string_view> replaced;
    for (const std::string& line : lines)
        replaced.insert(nameField(std::string_view(line).substr(0, line.find('\n'))));
    std::string text;
    text.reserve(current.size() + lines.size() * 48);
    while (!current.empty()) {
        const size_t end = current.find('\n');
        const std::string_view line = current.substr(0, end);
        current.remove_prefix(end == std::string_view::npos ? current.size() : end + 1);
        if (line.empty()) continue;
        const std::string_view name = nameField(line);
        if (!name.empty() && replaced.contains(name)) continue;
        text.append(line);
        text.push_back('\n');
    }
    for (const std::string& line : lines) {
        text.append(line);
        if (line.empty() || line.back() != '\n') text.push_back('\n');
    }
    return text;
}

void DirectorySizesBatch::add(int trashFd, const std::string& trashPath, std::string entryName) {
    Pending& pending = pending_[trashPath];
    if (!pending.trash) pending.trash.reset(::fcntl(trashFd, F_DUPFD_CLOEXEC, 0));
    pending.entries.push_back(std::move(entryName));
}

void DirectorySizesBatch::flush() noexcept {
    try {
        for (auto& [path, pending] : pending_)
            if (pending.trash)
                mergeIntoCache(pending.trash.get(), measuredLines(pending.trash.get(), pending.entries));
    } catch (...) {
        // The cache is optional; the moves it describes have happened.
    }
    pending_.clear();
}

} // namespace quillmere::platform
