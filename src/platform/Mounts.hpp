#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <vector>

namespace quillmere::platform {

// One line of /proc/self/mountinfo, its path fields with their octal escapes decoded.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root; // the folder of the file system that is mounted here; "/" for all of it
    std::string mountPoint;
    std::string fileSystemType;
    std::string source;

    bool operator==(const MountEntry&) const = default;
};

// The lines that parse, in the kernel's order; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// The mounts a path lookup can reach: when one mount point is mounted over, only the last
// mount there is kept (at its place in the order).
std::vector<MountEntry> visibleMounts(std::vector<MountEntry> entries);

// One entry of a /dev/disk/by-* folder: the link's name and the block device it names.
struct DiskLink {
    std::string name; // as udev writes it, with \xHH escapes
    dev_t device = 0;

    bool operator==(const DiskLink&) const = default;
};

// What sysfs says of a block device.
struct BlockDeviceInfo {
    bool isRemovable = false; // removable media (the device's or its whole disk's "removable" flag)
    bool isExternal = false;  // attached over USB or FireWire
    bool isLoop = false;      // a loop device: a mounted image file

    bool operator==(const BlockDeviceInfo&) const = default;
};

// Every question volume listing asks the host, so that the rules can be tested on fixtures.
struct MountHost {
    std::function<std::optional<std::string>()> mountInfo;
    std::function<int(const char* path, struct statvfs* info)> statVfs;
    std::function<std::vector<DiskLink>(const std::string& folder)> diskLinks;
    // The device number of a block-device node; nothing for anything else.
    std::function<std::optional<dev_t>(const std::string& path)> blockDeviceAt;
    std::function<std::optional<BlockDeviceInfo>(dev_t device)> blockDeviceInfo;
    std::function<bool(const std::string& path)> isDirectory;
    // The path with symbolic links resolved; nothing when it does not exist.
    std::function<std::optional<std::string>(const std::string& path)> realPath;
    // The text of os-release(5); nothing when neither /etc/os-release nor /usr/lib/os-release reads.
    std::function<std::optional<std::string>()> osRelease;

    static const MountHost& system();
};

inline constexpr const char* kDisksByUuid = "/dev/disk/by-uuid";
inline constexpr const char* kDisksByLabel = "/dev/disk/by-label";

// What the host can tell of one mounted file system: the Linux answers to the questions the
// volume list asks of every mount point.
struct MountFacts {
    std::optional<std::string> label;
    std::optional<std::string> identifier;
    std::optional<int64_t> totalBytes;
    std::optional<int64_t> availableBytes; // what an ordinary user may still write
    std::optional<int64_t> usedBytes;      // (blocks − free blocks), as df counts used space
    bool isBrowsable = false; // a disk or network share meant for files, in a place a user looks at
    bool isLocal = false;
    bool isRootFileSystem = false;
    bool isRemovable = false;
    bool isEjectable = false;
    std::optional<bool> isInternal;

    bool operator==(const MountFacts&) const = default;
};

// The visible mounts of this process; empty when the table cannot be read.
std::vector<MountEntry> mountTable(const MountHost& host);

// The visible mount whose mount point is the longest component prefix of the absolute `path`.
std::optional<MountEntry> mountContaining(const std::vector<MountEntry>& mounts, std::string_view path);

MountFacts describeMount(const MountEntry& mount, const MountHost& host);

// The identifier by which a saved scan is matched to its volume: the file system's UUID, with
// the mounted folder appended ("<uuid>:<folder>") when only part of the file system is mounted
// (btrfs subvolumes, bind mounts), so that / and /home on one btrfs disk stay apart. A file
// system without a UUID (overlay, tmpfs, a disk udev never labelled) gets the stand-in
// "mount:<type>:<source>:<mount point>", which stays the same across restarts.
std::string mountIdentifier(const MountEntry& mount, const MountHost& host);

// The identifier of the volume holding `path`; nothing when no mount holds it.
std::optional<std::string> volumeIdentifier(const std::string& path, const MountHost& host);

// Whether `inner` shows a folder of the file system that `outer` shows from higher up (a bind
// mount, or a subvolume's folder mounted a second time): the same disk seen twice.
bool isFolderOf(const MountEntry& inner, const MountEntry& outer);

// The operating system's name from os-release(5) text: its NAME, unquoted; nothing without one.
std::optional<std::string> osReleaseName(std::string_view text);

// Decodes udev's \xHH escapes in a /dev/disk/by-* link name ("My\x20Disk").
std::string decodeUdevName(std::string_view name);

} // namespace quillmere::platform
