#include "platform/Mounts.hpp"

#include "platform/Bounded.hpp"
#include "platform/BoundedFile.hpp"
#include "platform/DiskUsage.hpp"
#include "platform/Fd.hpp"
#include "platform/ScanHost.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unordered_map>

namespace quillmere::platform {
namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

std::optional<MountEntry> parseMountLine(std::string_view line) {
    // id parent major:minor root mount-point options [optional fields...] - type source super-options
    const std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() < 9) return std::nullopt;
    const auto separator = std::find(fields.begin() + 6, fields.end(), "-");
    if (separator == fields.end() || fields.end() - separator < 3) return std::nullopt;
    const std::string device(fields[2]);
    unsigned major = 0;
    unsigned minor = 0;
    char tail = 0;
    if (std::sscanf(device.c_str(), "%u:%u%c", &major, &minor, &tail) != 2) return std::nullopt;
    MountEntry entry{.major = major,
                     .minor = minor,
                     .root = decodeMountInfoPath(std::string(fields[3])),
                     .mountPoint = decodeMountInfoPath(std::string(fields[4])),
                     .fileSystemType = decodeMountInfoPath(std::string(separator[1])),
                     .source = decodeMountInfoPath(std::string(separator[2]))};
    if (!entry.mountPoint.starts_with('/')) return std::nullopt;
    return entry;
}

bool isComponentPrefix(std::string_view prefix, std::string_view path) {
    if (prefix == "/") return path.starts_with('/');
    return path.starts_with(prefix) && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// Kernel-internal file systems that hold no user files.
bool isPseudoFileSystem(std::string_view type) {
    static constexpr std::array kTypes{
        "proc",      "sysfs",           "devtmpfs",    "devpts",     "cgroup",       "cgroup2", "securityfs",
        "debugfs",   "tracefs",         "pstore",      "bpf",        "configfs",     "fusectl", "mqueue",
        "hugetlbfs", "autofs",          "binfmt_misc", "efivarfs",   "rpc_pipefs",   "nsfs",    "selinuxfs",
        "nfsd",      "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fuse.snapfuse"};
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

// Read-only images of packages and systems (snaps, live media, container layers): mounted from
// a loop device like a disk image, but never a disk anyone keeps files on.
bool isPackageImage(std::string_view type) {
    static constexpr std::array kTypes{"squashfs", "erofs", "cramfs"};
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

// Disk file systems whose mounts name no single block device (a pool of disks).
bool isPooledDiskFileSystem(std::string_view type) {
    return type == "zfs";
}

bool isNetworkFileSystem(std::string_view type) {
    static constexpr std::array kTypes{
        "nfs",         "nfs4",         "cifs",        "smb3",        "smbfs",          "ncpfs",
        "afs",         "coda",         "ceph",        "glusterfs",   "lustre",         "9p",
        "davfs",       "fuse.sshfs",   "fuse.davfs2", "fuse.rclone", "fuse.glusterfs", "fuse.s3fs",
        "fuse.cephfs", "fuse.smbnetfs"};
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

// System places that a file manager hides: their mounts serve the system, not the user.
bool isHiddenLocation(std::string_view mountPoint) {
    if (isComponentPrefix("/run/media", mountPoint)) return false;
    static constexpr std::array kFolders{"/proc",
                                         "/sys",
                                         "/dev",
                                         "/run",
                                         "/boot",
                                         "/efi",
                                         "/snap",
                                         "/var/snap",
                                         "/var/lib/docker",
                                         "/var/lib/containers"};
    return std::any_of(kFolders.begin(), kFolders.end(),
                       [&](const char* folder) { return isComponentPrefix(folder, mountPoint); });
}

// The block device behind a mount: its source when that names a device node (btrfs reports an
// anonymous device number in the table), else the table's own device number when it is real.
std::optional<dev_t> backingDevice(const MountEntry& mount, const MountHost& host) {
    if (mount.source.starts_with('/'))
        if (const std::optional<dev_t> device = host.blockDeviceAt(mount.source)) return device;
    if (mount.major == 0) return std::nullopt;
    return makedev(mount.major, mount.minor);
}

std::optional<std::string> linkNameFor(const char* folder, std::optional<dev_t> device,
                                       const MountHost& host) {
    if (!device) return std::nullopt;
    for (const DiskLink& link : host.diskLinks(folder))
        if (link.device == *device) return decodeUdevName(link.name);
    return std::nullopt;
}

// ---- the live system ----

// Read as every scan starts, before its walk: plain reads, since a stream's first use in a
// process sets up its locale, a millisecond before the walk could begin. The bound is far
// above the largest tables seen (a container host's thousands of mounts take a few MB).
std::optional<std::string> readMountInfo() {
    constexpr size_t kMountTableLimit = 64u << 20;
    auto text = readBoundedFile("/proc/self/mountinfo", kMountTableLimit);
    if (!text) return std::nullopt;
    return std::move(*text);
}

std::vector<DiskLink> readDiskLinks(const std::string& folder) {
    std::vector<DiskLink> links;
    const DirectoryStream directory(::opendir(folder.c_str()));
    if (!directory) return links;
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.') continue;
        struct stat info {};
        const std::string path = folder + "/" + entry->d_name;
        if (::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode))
            links.push_back({.name = entry->d_name, .device = info.st_rdev});
    }
    return links;
}

std::optional<dev_t> readBlockDeviceAt(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) return std::nullopt;
    return info.st_rdev;
}

std::optional<std::string> resolvedPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::optional<bool> readFlagFile(const std::string& path) {
    std::ifstream file(path);
    int value = 0;
    if (!(file >> value)) return std::nullopt;
    return value != 0;
}

std::optional<BlockDeviceInfo> readBlockDeviceInfo(dev_t device) {
    const std::string link =
        "/sys/dev/block/" + std::to_string(::major(device)) + ":" + std::to_string(::minor(device));
    const std::optional<std::string> folder = resolvedPath(link);
    if (!folder) return std::nullopt;
    // A partition has no flag of its own; its whole disk is the folder above it.
    std::optional<bool> removable = readFlagFile(*folder + "/removable");
    if (!removable) removable = readFlagFile(folder->substr(0, folder->rfind('/')) + "/removable");
    return BlockDeviceInfo{.isRemovable = removable.value_or(false),
                           .isExternal = folder->find("/usb") != std::string::npos ||
                                         folder->find("/firewire") != std::string::npos,
                           .isLoop = folder->find("/virtual/block/loop") != std::string::npos};
}

std::optional<std::string> readOsRelease() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream file(path);
        if (!file) continue;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    return std::nullopt;
}

bool pathIsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (std::optional<MountEntry> entry = parseMountLine(text.substr(start, end - start)))
            entries.push_back(std::move(*entry));
        start = end + 1;
    }
    return entries;
}

std::vector<MountEntry> visibleMounts(std::vector<MountEntry> entries) {
    std::unordered_map<std::string, size_t> lastAt;
    for (size_t i = 0; i < entries.size(); ++i)
        lastAt[entries[i].mountPoint] = i;
    std::vector<MountEntry> visible;
    for (size_t i = 0; i < entries.size(); ++i)
        if (lastAt[entries[i].mountPoint] == i) visible.push_back(std::move(entries[i]));
    return visible;
}

std::vector<MountEntry> mountTable(const MountHost& host) {
    const std::optional<std::string> text = host.mountInfo();
    if (!text) return {};
    return visibleMounts(parseMountInfo(*text));
}

std::optional<MountEntry> mountContaining(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts)
        if (isComponentPrefix(mount.mountPoint, path) &&
            (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    if (!best) return std::nullopt;
    return *best;
}

std::string mountIdentifier(const MountEntry& mount, const MountHost& host) {
    if (std::optional<std::string> uuid = linkNameFor(kDisksByUuid, backingDevice(mount, host), host))
        return mount.root == "/" ? *uuid : *uuid + ":" + mount.root;
    return "mount:" + mount.fileSystemType + ":" + mount.source + ":" + mount.mountPoint;
}

std::optional<std::string> volumeIdentifier(const std::string& path, const MountHost& host) {
    const std::string resolved = host.realPath(path).value_or(path);
    const std::optional<MountEntry> mount = mountContaining(mountTable(host), resolved);
    if (!mount) return std::nullopt;
    return mountIdentifier(*mount, host);
}

MountFacts describeMount(const MountEntry& mount, const MountHost& host) {
    MountFacts facts;
    const std::optional<dev_t> device = backingDevice(mount, host);
    facts.label = linkNameFor(kDisksByLabel, device, host);
    facts.identifier = mountIdentifier(mount, host);
    struct statvfs space {};
    if (host.statVfs(mount.mountPoint.c_str(), &space) == 0) {
        const uint64_t blockSize = space.f_frsize ? space.f_frsize : space.f_bsize;
        facts.totalBytes = blockBytes(space.f_blocks, blockSize);
        facts.availableBytes = blockBytes(space.f_bavail, blockSize);
        facts.usedBytes = blockBytes(space.f_blocks - std::min(space.f_bfree, space.f_blocks), blockSize);
    }
    facts.isLocal = !isNetworkFileSystem(mount.fileSystemType);
    facts.isRootFileSystem = mount.mountPoint == "/";
    // A user's disks are file systems on block devices (disks, partitions, mounted images) and
    // network shares; memory-backed and virtual ones (tmpfs, ramfs, overlay, proc and the like)
    // have no device, and package images are left out by type. The root is always a disk.
    const bool isDisk = facts.isRootFileSystem || !facts.isLocal ||
                        isPooledDiskFileSystem(mount.fileSystemType) ||
                        (device && !isPackageImage(mount.fileSystemType));
    facts.isBrowsable = isDisk && !isPseudoFileSystem(mount.fileSystemType) &&
                        !isHiddenLocation(mount.mountPoint) && host.isDirectory(mount.mountPoint);
    if (device)
        if (const std::optional<BlockDeviceInfo> info = host.blockDeviceInfo(*device)) {
            facts.isRemovable = info->isRemovable;
            facts.isEjectable = info->isExternal || info->isLoop;
            facts.isInternal = !info->isExternal;
        }
    return facts;
}

bool isWorthDescribing(const MountEntry& mount) {
    return !isPseudoFileSystem(mount.fileSystemType) && !isHiddenLocation(mount.mountPoint) &&
           !isNetworkFileSystem(mount.fileSystemType);
}

std::vector<std::optional<MountFacts>> describeMountsWithin(const std::vector<MountEntry>& mounts,
                                                            const MountHost& host,
                                                            std::chrono::milliseconds limit) {
    struct Answers {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<std::optional<MountFacts>> facts;
        size_t pending = 0;
    };
    auto answers = std::make_shared<Answers>();
    answers->facts.resize(mounts.size());
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (size_t i = 0; i < mounts.size(); ++i) {
        {
            std::lock_guard guard(answers->lock);
            ++answers->pending;
        }
        const bool started = startDetachedThread(
            [answers, i, mount = mounts[i], host] {
                std::optional<MountFacts> facts;
                try {
                    facts = describeMount(mount, host);
                } catch (...) {
                }
                std::lock_guard guard(answers->lock);
                answers->facts[i] = std::move(facts);
                --answers->pending;
                answers->changed.notify_all();
            },
            512 * 1024);
        if (!started) {
            std::lock_guard guard(answers->lock);
            --answers->pending;
        }
    }
    std::unique_lock guard(answers->lock);
    answers->changed.wait_until(guard, deadline, [&] { return answers->pending == 0; });
    // A copy: threads still running write into the shared list, never into what is returned.
    return answers->facts;
}

bool isFolderOf(const MountEntry& inner, const MountEntry& outer) {
    return inner.major == outer.major && inner.minor == outer.minor && inner.root != outer.root &&
           isComponentPrefix(outer.root, inner.root);
}

std::optional<std::string> osReleaseName(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with("NAME=")) continue;
        line.remove_prefix(5);
        std::string value;
        // Shell-style: double or single quotes around the value, backslash escapes inside doubles.
        if (!line.empty() && (line.front() == '"' || line.front() == '\'')) {
            const char quote = line.front();
            for (size_t i = 1; i < line.size() && line[i] != quote; ++i) {
                if (quote == '"' && line[i] == '\\' && i + 1 < line.size()) ++i;
                value += line[i];
            }
        } else {
            value = std::string(line.substr(0, line.find_last_not_of(" \t\r") + 1));
        }
        if (!value.empty()) return value;
    }
    return std::nullopt;
}

std::string decodeUdevName(std::string_view name) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

const MountHost& MountHost::system() {
    static const MountHost host{
        .mountInfo = readMountInfo,
        .statVfs = [](const char* path,
                      struct statvfs* info) { return statVfsWithin(path, info, kFileSystemAnswerLimit); },
        .diskLinks = readDiskLinks,
        .blockDeviceAt = readBlockDeviceAt,
        .blockDeviceInfo = readBlockDeviceInfo,
        .isDirectory = pathIsDirectory,
        .realPath = resolvedPath,
        .osRelease = readOsRelease};
    return host;
}

} // namespace quillmere::platform
