#include "access/AccessAuditor.hpp"

#include "access/AccessAuditError.hpp"
#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "platform/DiskUsage.hpp"
#include "platform/HostSystem.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

namespace quillmere {
namespace {

std::string probeFor(const std::string& homeDirectory, std::optional<std::string> given) {
    if (given) return std::move(*given);
    if (const char* override = std::getenv(kFullDiskAccessProbeVariable); override && *override)
        return override;
    return homeDirectory;
}

// A double truncated toward zero, held inside the signed 64-bit range.
int64_t truncatedClamped(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (value >= kLimit) return std::numeric_limits<int64_t>::max();
    if (value <= -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

bool startsWithFolder(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

} // namespace

AccessAuditor::AccessAuditor(std::string volumePath, std::optional<std::string> homeDirectory,
                             std::optional<std::string> fullDiskAccessProbePath,
                             const platform::MountHost& host)
    : volumePath_(std::move(volumePath)),
      homeDirectory_(homeDirectory ? std::move(*homeDirectory) : platform::homeDirectory()),
      probePath_(probeFor(homeDirectory_, std::move(fullDiskAccessProbePath))), statVfs_(host.statVfs) {}

bool AccessAuditor::isFullDiskAccessGranted() const {
    return platform::isReadableFile(probePath_);
}

bool AccessAuditor::hasFullDiskAccess() {
    return AccessAuditor().isFullDiskAccessGranted();
}

int64_t AccessAuditor::volumeUsedBytes() const {
    struct statvfs info {};
    if (statVfs_(volumePath_.c_str(), &info) != 0) {
        const int error = errno;
        throw std::system_error(error, std::generic_category(), "statvfs " + volumePath_);
    }
    if (info.f_frsize == 0) throw std::system_error(AccessAuditError::volumeCapacityUnavailable);
    // f_bfree, not f_bavail: the blocks kept for the superuser are in use by nobody, and
    // counting them as used would show ext4's reserve as bytes Quillmere isn't allowed to see.
    const int64_t total = platform::blockBytes(info.f_blocks, info.f_frsize);
    const int64_t available = platform::blockBytes(info.f_bfree, info.f_frsize);
    return std::max<int64_t>(total - available, 0);
}

std::string AccessAuditor::locationLabel(std::string_view path, std::string_view homeDirectory) {
    const std::string p = fileURLPath(path);
    const std::string h = fileURLPath(homeDirectory);
    if (p == h || startsWithFolder(p, h)) {
        const std::vector<std::string> pieces = pathComponents(std::string_view(p).substr(h.size()));
        if (pieces.empty()) return "~";
        if (pieces.size() == 1) return "~/" + pieces[0];
        return "~/" + pieces[0] + "/" + pieces[1];
    }
    // Every other user's home, including a sibling whose name merely begins with ours.
    if (p.starts_with("/Users/") || p.starts_with("/home/")) return "Other users' home folders";
    const std::vector<std::string> pieces = pathComponents(p);
    if (pieces.empty()) return p;
    return "/" + pieces[0];
}

std::vector<AccessAuditLocation> AccessAuditor::topDeniedLocations(const std::vector<DeniedPath>& deniedPaths,
                                                                   int64_t unaccountedBytes,
                                                                   std::size_t limit) const {
    if (deniedPaths.empty() || unaccountedBytes < 1) return {};

    struct Group {
        std::string label;
        int64_t bytes = 0;
        int64_t count = 0;
    };
    // Labels in the order first seen, so rows equal in both sort keys keep that order.
    std::vector<Group> groups;
    std::map<std::string, std::size_t, std::less<>> indexOf;
    for (const DeniedPath& denied : deniedPaths) {
        std::string label = locationLabel(denied.url, homeDirectory_);
        auto [it, added] = indexOf.try_emplace(std::move(label), groups.size());
        if (added) groups.push_back({it->first});
        Group& group = groups[it->second];
        group.bytes = saturatingAdd(group.bytes, std::max<int64_t>(denied.estimatedBytes, 0));
        group.count = saturatingAdd(group.count, 1);
    }
    int64_t totalBytes = 0;
    int64_t totalCount = 0;
    for (const Group& group : groups) {
        totalBytes = saturatingAdd(totalBytes, group.bytes);
        totalCount = saturatingAdd(totalCount, group.count);
    }

    std::vector<AccessAuditLocation> rows;
    rows.reserve(groups.size());
    for (Group& group : groups) {
        double share = 0;
        if (totalBytes >= 1)
            share = static_cast<double>(group.bytes) / static_cast<double>(totalBytes);
        else if (totalCount > 0)
            share = static_cast<double>(group.count) / static_cast<double>(totalCount);
        rows.push_back({std::move(group.label),
                        truncatedClamped(share * static_cast<double>(unaccountedBytes)), group.count});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const AccessAuditLocation& a, const AccessAuditLocation& b) {
                         if (a.estimatedBytes != b.estimatedBytes) return a.estimatedBytes > b.estimatedBytes;
                         return a.deniedPathCount > b.deniedPathCount;
                     });
    if (rows.size() > limit) rows.resize(limit);
    return rows;
}

} // namespace quillmere
