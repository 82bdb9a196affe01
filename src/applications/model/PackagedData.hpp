#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ItemSizer.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::packaged_data {

// The folder a package system gives each of its applications in the home folder, which stays
// behind when the application is removed: "~/.var/app/<id>" for Flatpak, "~/snap/<instance>"
// for Snap. Its "cache" folder holds the application's caches, everything else its data.

// None for a bundle, or an application without identifier.
std::optional<std::string> dataFolder(const InstalledApp& app, const std::string& home);

// Every entry of the application's data folder, hidden ones included, as listed: "cache" in
// the caches group, the rest in support and containers, matched by the identifier. Entries
// that are links come after the others, so a link to a sibling ("current" in a snap's folder)
// is the duplicate that gets dropped; a link that leads out of the folder is left out.
std::vector<LeftoverCandidate> dataCandidates(const InstalledApp& app, const std::string& home);

// One data folder found in the home folder.
struct DataFolder {
    InstalledApp::Packaging packaging = InstalledApp::Packaging::flatpak;
    std::string identifier;
    std::string path;

    bool operator==(const DataFolder&) const = default;
};

// Every folder in "~/.var/app", and those in "~/snap" that snapd made (they hold "common" or
// "current"), so that a folder of the user's own that happens to lie there is never taken for
// an application's data.
std::vector<DataFolder> dataFolders(const std::string& home);

// Whether an application of that package system and identifier is installed anywhere.
using InstalledCheck = std::function<bool(InstalledApp::Packaging, std::string_view identifier)>;

// One group per data folder whose application is installed in no installation, named after
// the identifier, holding the whole folder as its one entry; in the order found. A folder that
// an installed application of the list claims (same system, same identifier) is never one.
std::vector<OrphanLeftoverGroup> orphanGroups(const std::string& home, const InstalledCheck& isInstalled,
                                              const std::vector<InstalledApp>& installedApps,
                                              const ItemSizer& sizer);

} // namespace quillmere::packaged_data
