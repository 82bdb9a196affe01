#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ItemSizer.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere::OrphanLeftoverAttributor {

// Library entries that no installed application claims and that are not the system's own,
// sized and grouped under a guessed name of the application that once owned them.

inline constexpr std::string_view kUnmatchedSummary =
    "We can't tell which app this belonged to, so we won't pretend.";
inline constexpr std::string_view kFallbackSummary = "Leftover files";

// What an entry's file name says about its application.
struct NameSignature {
    // The first part of a reverse-DNS name, lower case ("com"); none for a dot-free name.
    std::optional<std::string> vendorToken;
    // The bucket key: the reverse-DNS name's second part, or the dot-free name squeezed; lower case.
    std::string canonicalKey;
    // The parts that may name the application, as written.
    std::vector<std::string> descriptiveWords;

    bool operator==(const NameSignature&) const = default;

    static std::optional<NameSignature> make(std::string_view entryName);
};

// Words that name an auxiliary part of an application rather than the application.
const std::vector<std::string_view>& genericTrailingWords();

// The orphan groups of the Library folders of `home` and `library`, largest first.
std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                            const std::vector<InstalledApp>& installedApps,
                                            const ItemSizer& sizer);
// The entry at `path`, sized where it really lies; none when nothing exists there.
std::optional<OrphanEntry> makeEntry(const std::string& path, LeftoverItem::Group group,
                                     const ItemSizer& sizer);
// Whether the entry name marks the operating system's own data.
bool isAppleOwned(std::string_view name);
// `entries` grouped: guessed groups, then unmatched ones, stably ordered largest first.
std::vector<OrphanLeftoverGroup> group(const std::vector<OrphanEntry>& entries);
// One bucket of entries that share a key, as a group with a guessed name.
OrphanLeftoverGroup makeGuessGroup(const std::vector<std::pair<OrphanEntry, NameSignature>>& bucket);
// The kinds of content present ("Support and caches and preferences"), or the fallback text.
std::string summary(const std::vector<OrphanEntry>& entries);

} // namespace quillmere::OrphanLeftoverAttributor
