#pragma once

#include "applications/model/ApplicationListRules.hpp"
#include "applications/model/ApplicationRecords.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// What the Applications screen's rows and detail panels show and hand to the reclaim, worked
// out from the records alone so that it is the same with or without a window.

// The ticks a user changed, by item path; an item not in it has its default tick.
using TickOverrides = std::map<std::string, bool>;

// --- Removable application panel ---

// Unshared items start ticked; an item another application uses starts unticked.
bool isTicked(const LeftoverItem& item, const TickOverrides& overrides);
// The override that flips the item's current tick.
void toggleTick(const LeftoverItem& item, TickOverrides& overrides);
std::vector<LeftoverItem> tickedItems(const LeftoverAttribution& attribution, const TickOverrides& overrides);
// Ticked items that no other application uses.
int64_t selectedBytes(const LeftoverAttribution& attribution, const TickOverrides& overrides);
// The ticked items other than the bundle: the bundle is named by the application itself.
std::set<std::string> uninstallPaths(const LeftoverAttribution& attribution, const TickOverrides& overrides);
int64_t totalBytes(const LeftoverAttribution& attribution);
// How many different folders hold the items, "." and ".." resolved in the folder paths.
int64_t distinctFolderCount(const LeftoverAttribution& attribution);
// The caches, preferences and state that no other application uses, in order.
std::vector<LeftoverItem> cacheItems(const LeftoverAttribution& attribution);
int64_t cacheBytes(const LeftoverAttribution& attribution);

// Whether an uninstall removed the bundle: a removed path is the application's path or the
// bundle item's (canonical) path, so an application listed through a linked folder counts too.
bool removedBundle(const std::vector<std::string>& removedPaths, const InstalledApp& app,
                   const std::optional<LeftoverAttribution>& attribution);

// --- Rows ---

// "mostly <name>" when one non-bundle item holds at least 60 % of the leftover bytes.
std::optional<std::string> dominantLeftoverCaption(const ApplicationRow& row);
// max(combined total − bundle, 0).
int64_t leftoverBytes(const ApplicationRow& row);
std::string applicationSubtitle(const ApplicationRow& row);
// The width of `bytes` on a bar of `width` standing for `scale` bytes (at least 1), never negative.
double barWidth(double width, int64_t bytes, int64_t scale);
// The entry count over all groups (places, not groups).
int64_t orphanEntryCount(const std::vector<OrphanLeftoverGroup>& groups);

// --- Orphan panel ---

bool isTicked(const OrphanEntry& entry, const TickOverrides& overrides);
std::vector<OrphanEntry> tickedEntries(const OrphanLeftoverGroup& group, const TickOverrides& overrides);
int64_t tickedBytes(const OrphanLeftoverGroup& group, const TickOverrides& overrides);
std::set<std::string> tickedPaths(const OrphanLeftoverGroup& group, const TickOverrides& overrides);
std::string orphanTitle(const OrphanLeftoverGroup& group);

// --- Protected application panel ---

// A path through a "WebKit", "HTTPStorages" or "Cookies" folder (exact case), whatever its group.
bool isWebsiteData(const LeftoverItem& item);
int64_t cachesAndContainersBytes(const std::optional<LeftoverAttribution>& attribution);
int64_t websiteDataBytes(const std::optional<LeftoverAttribution>& attribution);
// Every item but the bundle, in order.
std::vector<std::string> leftoverPaths(const std::optional<LeftoverAttribution>& attribution);

// --- Packaged application panel ---

// The application stays and what it keeps is the user's, so nothing starts ticked.
bool isTickedForClearing(const LeftoverItem& item, const TickOverrides& overrides);
void toggleClearingTick(const LeftoverItem& item, TickOverrides& overrides);
// Everything but the application itself, in order.
std::vector<LeftoverItem> clearableItems(const LeftoverAttribution& attribution);
std::vector<LeftoverItem> tickedClearableItems(const LeftoverAttribution& attribution,
                                               const TickOverrides& overrides);
// Ticked items that no other application uses.
int64_t tickedClearableBytes(const LeftoverAttribution& attribution, const TickOverrides& overrides);
// The badge by the row's name: built in, or the package system that installed it.
std::optional<std::string_view> rowBadge(const InstalledApp& app);

// --- Drop ---

// A dragged path the screen offers to take: its extension is "app" in any case.
bool looksLikeApplication(std::string_view path);
// A dropped path that is inspected: its extension, a trailing "/" ignored, is exactly "app".
bool isInspectableApplication(std::string_view path);

// --- List area ---

// What the list area of the screen holds.
enum class ListAreaContent { loading, noMatch, headerOnly, list };

// Loading while no application has arrived and the inventory still runs; once it has ended
// with none, the header and any orphans show, and the no-match text only for a real query.
ListAreaContent listAreaContent(bool hasApps, bool isInventoryComplete, bool hasFilteredRows, bool hasOrphans,
                                std::string_view searchText);

} // namespace quillmere
