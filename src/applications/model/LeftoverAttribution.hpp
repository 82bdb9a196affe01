#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ApplicationServices.hpp"
#include "applications/model/ItemSizer.hpp"

#include <string>
#include <vector>

namespace quillmere::LeftoverAttributor {

// The item that stands for the bundle itself: first in every attribution, never shared.
LeftoverItem bundleItem(const InstalledApp& app);

// The one attribution run: the bundle and its leftovers, sized, marked where another of
// `installedApps` claims them too, in display order. The Library is the services' own.
LeftoverAttribution attribute(ApplicationServices& services, const InstalledApp& app,
                              const std::vector<InstalledApp>& installedApps, const std::string& home);

// One sized item per candidate, in the candidates' order, all sized at once.
std::vector<LeftoverItem> size(const std::vector<LeftoverCandidate>& candidates, const ItemSizer& sizer);
// The candidate at its (canonical) path: a folder by a scan of its own, anything else as a file.
LeftoverItem sizeItem(const LeftoverCandidate& candidate, const ItemSizer& sizer);

// `items` in the same order, with `sharedWithAppName` set to the first other application (by
// canonical path) whose candidates hold the item's path. The Library folders are listed once
// per call and every other application is matched against that listing.
std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                     const std::vector<InstalledApp>& installedApps, const std::string& home,
                                     const std::string& library);

} // namespace quillmere::LeftoverAttributor
