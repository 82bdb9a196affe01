#include "applications/model/LeftoverAttribution.hpp"

#include "applications/model/LeftoverMatching.hpp"
#include "base/PathText.hpp"
#include "scan/FileNode.hpp"
#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace quillmere::LeftoverAttributor {

LeftoverItem bundleItem(const InstalledApp& app) {
    return LeftoverItem{.name = std::string(lastPathComponent(app.path)),
                        .path = FileNode::canonicalPath(app.path),
                        .group = LeftoverItem::Group::application,
                        .matchSignal = app.bundleIdentifier ? LeftoverItem::MatchSignal::bundleIdentifier
                                                            : LeftoverItem::MatchSignal::name,
                        .allocatedSize = app.allocatedSize,
                        .cloudOnlyCount = 0,
                        .sharedWithAppName = std::nullopt};
}

LeftoverAttribution attribute(ApplicationServices& services, const InstalledApp& app,
                              const std::vector<InstalledApp>& installedApps, const std::string& home) {
    const std::string library = services.library();
    const auto start = std::chrono::steady_clock::now();
    std::vector<LeftoverCandidate> candidates = services.candidates(app, home, library);
    std::vector<LeftoverItem> items{bundleItem(app)};
    std::vector<LeftoverItem> sized = services.size(std::move(candidates));
    items.insert(items.end(), std::make_move_iterator(sized.begin()), std::make_move_iterator(sized.end()));
    items = services.markShared(std::move(items), app, installedApps, home, library);
    // The time reported is the time spent on the disk, not on ordering the result.
    const double elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::stable_sort(items.begin(), items.end(), LeftoverItem::displayOrder);
    return LeftoverAttribution{.app = app, .items = std::move(items), .elapsedSeconds = elapsedSeconds};
}

LeftoverItem sizeItem(const LeftoverCandidate& candidate, const ItemSizer& sizer) {
    ItemMeasurement measured;
    try {
        measured = sizer.sizeItem(candidate.path);
    } catch (...) {
        // What cannot be measured counts as empty, like what cannot be read.
    }
    return LeftoverItem{.name = candidate.name,
                        .path = candidate.path,
                        .group = candidate.group,
                        .matchSignal = candidate.matchSignal,
                        .allocatedSize = measured.allocatedSize,
                        .cloudOnlyCount = measured.cloudOnlyCount,
                        .sharedWithAppName = std::nullopt};
}

std::vector<LeftoverItem> size(const std::vector<LeftoverCandidate>& candidates, const ItemSizer& sizer) {
    std::vector<LeftoverItem> items(candidates.size());
    TaskGroup group;
    for (size_t i = 0; i < candidates.size(); ++i)
        group.run([&, i] { items[i] = sizeItem(candidates[i], sizer); });
    group.wait();
    return items;
}

std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                     const std::vector<InstalledApp>& installedApps, const std::string& home,
                                     const std::string& library) {
    // One listing of the Library folders serves every other application in this call.
    const LibraryListing listing(home, library);
    const std::string appKey = listing.canonicalPath(app.path);
    std::vector<const InstalledApp*> others;
    for (const InstalledApp& other : installedApps)
        if (listing.canonicalPath(other.path) != appKey) others.push_back(&other);
    if (others.empty()) return items;

    std::vector<std::unordered_set<std::string>> claimed;
    for (const InstalledApp* other : others) {
        std::unordered_set<std::string>& paths = claimed.emplace_back();
        // Candidates carry canonical paths already.
        for (const LeftoverCandidate& candidate : candidates(*other, listing))
            paths.insert(candidate.path);
    }
    for (LeftoverItem& item : items) {
        if (item.group == LeftoverItem::Group::application) continue;
        const std::string key = listing.canonicalPath(item.path);
        for (size_t i = 0; i < others.size(); ++i)
            if (claimed[i].contains(key)) {
                item.sharedWithAppName = others[i]->name;
                break;
            }
    }
    return items;
}

} // namespace quillmere::LeftoverAttributor
