#pragma once

// Helpers of the Trash tests: reading back what a move wrote.

#include "platform/Trash.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::testing {

inline std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

inline std::string readlinkOf(const std::string& path) {
    char buffer[4096];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

inline mode_t modeOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode;
}

// Settings for a Trash whose home Trash lies in `dataHome`, with a fixed clock and mount table.
inline platform::TrashSettings trashSettings(std::string dataHome, std::vector<platform::MountEntry> mounts,
                                             std::time_t now = 1700000000) {
    return {.dataHome = std::move(dataHome),
            .uid = ::geteuid(),
            .mounts = [mounts] { return platform::visibleMounts(mounts); },
            .now = [now] { return now; }};
}

// The live mount table.
inline std::vector<platform::MountEntry> liveMounts() {
    return platform::mountTable(platform::MountHost::system());
}

} // namespace quillmere::testing
