#pragma once

#include "platform/PropertyList.hpp"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quillmere::fixture {

// A disk shaped like the places the Applications section reads, under any folder: the folder
// stands for the system root ("Applications", "System/Applications", "Library", or "var/lib/flatpak"
// and "snap") and holds the user's home at "Users/ann" (or where the layout puts it).
class FixtureDisk {
public:
    enum class InfoFormat { xml, binary, none, garbled };

    // Creates `root` when it is missing.
    explicit FixtureDisk(std::string root, std::string homeRelative = "Users/ann");

    const std::string& root() const { return root_; }
    std::string home() const { return path(homeRelative_); }
    std::string library() const { return path("Library"); }
    // `relative` under the root.
    std::string path(std::string_view relative) const;

    // Each creates the missing folders above what it writes and returns its absolute path.
    std::string folder(std::string_view relative) const;
    // A file of `bytes` real (not sparse) bytes.
    std::string file(std::string_view relative, int64_t bytes = 0) const;
    // A symbolic link to `target` (written as given).
    std::string link(std::string_view relative, std::string_view target) const;
    // A further hard link to the file at `existing` (both relative to the root).
    std::string hardLink(std::string_view relative, std::string_view existing) const;
    // A file holding exactly `content`.
    std::string text(std::string_view relative, std::string_view content) const;
    // A bundle folder with "Contents/Info.plist" in `format` and a payload file of `payloadBytes`.
    std::string bundle(std::string_view relative, const platform::PropertyListDictionary& info,
                       InfoFormat format, int64_t payloadBytes = 4096) const;
    // Sets the item's own modification time (seconds since 1970), links included.
    void touch(std::string_view relative, double secondsSince1970) const;

private:
    std::string root_;
    std::string homeRelative_;
};

// A dictionary of text values.
platform::PropertyListDictionary textInfo(std::initializer_list<std::pair<std::string, std::string>> entries);

// The standard scenario: bundles and Library entries for every case the inventory, matching,
// attribution and orphan search must get right (see the comments in its definition).
void writeStandardScenario(const FixtureDisk& disk);

// The home folder of the Linux layout, relative to the root.
inline constexpr std::string_view kLinuxHome = "home/ann";

// A Linux disk with two package systems: a system and a user Flatpak installation (real layout,
// "current" and "active" links, metadata, exported desktop entries and icons, metainfo; one
// runtime; one application with a malformed desktop entry and metainfo), the applications'
// folders in "~/.var/app" (two with data, one with a cache only, one left by an application
// that is gone), and a snap tree with its package files and "~/snap" folders (see the comments
// in its definition). `disk` should have its home at `kLinuxHome`.
void writeLinuxScenario(const FixtureDisk& disk);

// A scaled Linux scenario for the benchmark: `apps` Flatpak applications with data and caches,
// `orphans` folders of removed ones.
void writeScaledLinuxScenario(const FixtureDisk& disk, int apps, int orphans);

// A scaled scenario for the benchmark: `bundles` bundles (half XML, half binary) with their
// leftovers, some shared, orphans, and a home folder of `homeFiles` further files.
void writeScaledScenario(const FixtureDisk& disk, int bundles, int homeFiles);

} // namespace quillmere::fixture
