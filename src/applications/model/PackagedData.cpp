#include "applications/model/PackagedData.hpp"

#include "applications/model/OrphanLeftovers.hpp"
#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"
#include "scan/FileNode.hpp"
#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <sys/stat.h>

namespace quillmere::packaged_data {

namespace {

using Packaging = InstalledApp::Packaging;
using Group = LeftoverItem::Group;

bool isLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool isUsableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string flatpakData(const std::string& home) {
    return appendingPathComponent(appendingPathComponent(home, ".var"), "app");
}

std::string snapData(const std::string& home) {
    return appendingPathComponent(home, "snap");
}

bool looksMadeBySnapd(const std::string& folder) {
    return platform::itemExists(appendingPathComponent(folder, "common")) ||
           isLink(appendingPathComponent(folder, "current"));
}

} // namespace

std::optional<std::string> dataFolder(const InstalledApp& app, const std::string& home) {
    if (!app.bundleIdentifier || !isUsableName(*app.bundleIdentifier)) return std::nullopt;
    switch (app.packaging) {
    case Packaging::bundle:
        return std::nullopt;
    case Packaging::flatpak:
        return appendingPathComponent(flatpakData(home), *app.bundleIdentifier);
    case Packaging::snap:
        return appendingPathComponent(snapData(home), *app.bundleIdentifier);
    }
    return std::nullopt;
}

std::vector<LeftoverCandidate> dataCandidates(const InstalledApp& app, const std::string& home) {
    std::vector<LeftoverCandidate> found;
    const std::optional<std::string> folder = dataFolder(app, home);
    if (!folder || !platform::isDirectoryItem(*folder)) return found;
    const auto names = platform::listFolderNames(*folder, platform::HiddenNames::included);
    if (!names) return found;
    const std::string inside = FileNode::canonicalPath(*folder) + "/";
    for (const std::string& name : *names) {
        const std::string path = appendingPathComponent(*folder, name);
        // A link leading out of the folder is not the application's to give: clearing it would
        // take whatever it points at.
        if (isLink(path) && !FileNode::canonicalPath(path).starts_with(inside)) continue;
        found.push_back({name, path,
                         name == "cache" ? Group::cachesPreferencesAndState : Group::supportAndContainers,
                         LeftoverItem::MatchSignal::bundleIdentifier});
    }
    std::ranges::stable_partition(found,
                                  [](const LeftoverCandidate& candidate) { return !isLink(candidate.path); });
    return found;
}

std::vector<DataFolder> dataFolders(const std::string& home) {
    std::vector<DataFolder> found;
    const auto collect = [&](const std::string& parent, Packaging packaging) {
        if (!platform::isDirectoryItem(parent)) return;
        const auto names = platform::listFolderNames(parent);
        if (!names) return;
        for (const std::string& name : *names) {
            const std::string path = appendingPathComponent(parent, name);
            if (!isUsableName(name) || !platform::isDirectoryItem(path)) continue;
            if (packaging == Packaging::snap && !looksMadeBySnapd(path)) continue;
            found.push_back({packaging, name, path});
        }
    };
    collect(flatpakData(home), Packaging::flatpak);
    collect(snapData(home), Packaging::snap);
    return found;
}

std::vector<OrphanLeftoverGroup> orphanGroups(const std::string& home, const InstalledCheck& isInstalled,
                                              const std::vector<InstalledApp>& installedApps,
                                              const ItemSizer& sizer) {
    std::vector<DataFolder> orphans;
    for (DataFolder& folder : dataFolders(home)) {
        const bool claimed = std::ranges::any_of(installedApps, [&](const InstalledApp& app) {
            return app.packaging == folder.packaging && app.bundleIdentifier == folder.identifier;
        });
        if (!claimed && !(isInstalled && isInstalled(folder.packaging, folder.identifier)))
            orphans.push_back(std::move(folder));
    }

    std::vector<std::optional<OrphanEntry>> entries(orphans.size());
    TaskGroup tasks;
    for (size_t i = 0; i < orphans.size(); ++i)
        tasks.run([&, i] {
            try {
                entries[i] =
                    OrphanLeftoverAttributor::makeEntry(orphans[i].path, Group::supportAndContainers, sizer);
            } catch (...) {
                // A folder that cannot be examined is left out, as one that vanished.
            }
        });
    tasks.wait();

    std::vector<OrphanLeftoverGroup> groups;
    for (size_t i = 0; i < orphans.size(); ++i) {
        if (!entries[i]) continue;
        std::vector<OrphanEntry> one{std::move(*entries[i])};
        std::string summary = OrphanLeftoverAttributor::summary(one);
        groups.push_back({.guessedAppName = orphans[i].identifier,
                          .evidence = orphans[i].identifier,
                          .summary = std::move(summary),
                          .entries = std::move(one)});
    }
    return groups;
}

} // namespace quillmere::packaged_data
