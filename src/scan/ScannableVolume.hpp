#pragma once

#include "platform/Mounts.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// A mounted volume the user may scan.
struct ScannableVolume {
    std::string url; // the mount point
    std::string name;
    std::optional<std::string> uuid;
    int64_t totalCapacityBytes = 0;
    int64_t availableCapacityBytes = 0;
    bool isStartupVolume = false;
    bool isRemovable = false;
    bool isInternal = true;
    // (blocks − free blocks), as df, System Data and the access audit count used space: blocks
    // kept for the administrator are free, not used, though nobody else may write them.
    int64_t usedCapacityBytes = 0;

    bool operator==(const ScannableVolume&) const = default;

    // Lists keep their rows apart by the mount point.
    const std::string& id() const { return url; }

    // The scannable volumes, the startup volume first, the rest by name; one row per volume.
    static std::vector<ScannableVolume>
    mountedVolumes(const platform::MountHost& host = platform::MountHost::system());
    // The volume at "/", or a stand-in with zero capacities when "/" cannot be described.
    static ScannableVolume startupVolume(const platform::MountHost& host = platform::MountHost::system());
    // The volume mounted at `mountPoint` (an absolute path); nothing when it does not qualify.
    static std::optional<ScannableVolume>
    volume(std::string_view mountPoint, const platform::MountHost& host = platform::MountHost::system());
    // The record for what the host says of one mount point; nothing when it does not qualify.
    // `systemName` names the startup volume when it has no label.
    static std::optional<ScannableVolume>
    fromFacts(std::string_view mountPoint, const platform::MountFacts& facts, const std::string& systemName);
    // What the startup volume is called without a label: the operating system's name, else
    // "Computer".
    static std::string startupName(const platform::MountHost& host = platform::MountHost::system());
};

// The stand-in for "/" when the host cannot describe it.
ScannableVolume fallbackStartupVolume(const std::string& systemName);

// The name of an unlabelled volume other than the startup one: "250 GB Volume".
std::string capacityVolumeName(int64_t totalBytes);

// File-manager name order: case and accents matter only to break ties, and runs of digits
// compare by value ("Data 9" before "Data 10"). Negative, zero or positive.
int localizedStandardCompare(std::string_view a, std::string_view b);

} // namespace quillmere
