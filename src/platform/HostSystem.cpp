#include "platform/HostSystem.hpp"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <pwd.h>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace quillmere::platform {

int activeProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

bool isReadableFile(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

std::string currentDirectory() {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) : std::string("/");
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

std::optional<double> addingYears(double date, int years) {
    if (!std::isfinite(date)) return std::nullopt;
    const double whole = std::floor(date);
    const auto seconds = static_cast<time_t>(whole);
    tm local{};
    if (!::localtime_r(&seconds, &local)) return std::nullopt;
    // Years far beyond any calendar must not overflow the field.
    const long long year = static_cast<long long>(local.tm_year) + years;
    if (year < INT_MIN || year > INT_MAX) return std::nullopt;
    local.tm_year = static_cast<int>(year);
    if (local.tm_mon == 1 && local.tm_mday == 29) {
        const int calendarYear = local.tm_year + 1900;
        const bool leap = (calendarYear % 4 == 0 && calendarYear % 100 != 0) || calendarYear % 400 == 0;
        if (!leap) local.tm_mday = 28;
    }
    local.tm_isdst = -1;
    errno = 0;
    const time_t moved = ::mktime(&local);
    if (moved == static_cast<time_t>(-1) && errno != 0) return std::nullopt;
    return static_cast<double>(moved) + (date - whole);
}

} // namespace quillmere::platform
