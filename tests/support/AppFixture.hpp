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
// stands for the system root ("Applications", "System/Applications", "Library") and holds the
// user's home at "Users/ann".
class FixtureDisk {
public:
    enum class InfoFormat { xml, binary, none, garbled };

    // Creates `root` when it is missing.
    explicit FixtureDisk(std::string root);

    const std::string& root() const { return root_; }
    std::string home() const { return path("Users/ann"); }
    std::string library() const { return path("Library"); }
    // `relative` under the root.
    std::string path(std::string_view relative) const;

    // Each creates the missing folders above what it writes and returns its absolute path.
    std::string folder(std::string_view relative) const;
    // A file of `bytes` real (not sparse) bytes.
    std::string file(std::string_view relative, int64_t bytes = 0) const;
    // A symbolic link to `target` (written as given).
    std::string link(std::string_view relative, std::string_view target) const;
    // A bundle folder with "Contents/Info.plist" in `format` and a payload file of `payloadBytes`.
    std::string bundle(std::string_view relative, const platform::PropertyListDictionary& info,
                       InfoFormat format, int64_t payloadBytes = 4096) const;
    // Sets the item's own modification time (seconds since 1970), links included.
    void touch(std::string_view relative, double secondsSince1970) const;

private:
    std::string root_;
};

// A dictionary of text values.
platform::PropertyListDictionary textInfo(std::initializer_list<std::pair<std::string, std::string>> entries);

// The standard scenario: bundles and Library entries for every case the inventory, matching,
// attribution and orphan search must get right (see the comments in its definition).
void writeStandardScenario(const FixtureDisk& disk);

// A scaled scenario for the benchmark: `bundles` bundles (half XML, half binary) with their
// leftovers, some shared, orphans, and a home folder of `homeFiles` further files.
void writeScaledScenario(const FixtureDisk& disk, int bundles, int homeFiles);

} // namespace quillmere::fixture
