#pragma once

#include "applications/model/ApplicationRecords.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// What the Applications list shows, derived afresh from the section's state at every drawing.

// One row of the application list; identified by the application's path.
struct ApplicationRow {
    InstalledApp app;
    // None while the application's leftovers are still being worked out.
    std::optional<LeftoverAttribution> attribution;

    bool operator==(const ApplicationRow&) const = default;
    const std::string& id() const { return app.path; }
};

// The totals of the summary strip.
struct ApplicationsSummary {
    int64_t applicationCount = 0;
    // The bundles alone.
    int64_t finderTotalBytes = 0;
    // Bundles with everything attributed to them.
    int64_t realTotalBytes = 0;

    bool operator==(const ApplicationsSummary&) const = default;
};

using AttributionMap = std::map<std::string, LeftoverAttribution>;

// Everything attributed to the application when it has an attribution, else its bundle.
int64_t combinedTotal(const InstalledApp& app, const std::optional<LeftoverAttribution>& attribution);
int64_t combinedTotal(const ApplicationRow& row);
// Whether `a` has the larger combined total.
bool compareByCombinedTotal(const ApplicationRow& a, const ApplicationRow& b);

// The applications whose name or developer contains the search text (ignoring case, not
// diacritics), largest combined total first, equal totals in inventory order.
std::vector<ApplicationRow> filteredApplicationRows(const std::vector<InstalledApp>& apps,
                                                    const AttributionMap& attributions,
                                                    std::string_view searchText);
ApplicationsSummary applicationsSummary(const std::vector<InstalledApp>& apps,
                                        const AttributionMap& attributions);
// The common scale of the row bars: the largest combined total of `rows`, 1 when there is none.
int64_t maxCombinedTotal(const std::vector<ApplicationRow>& rows);
// The bytes of every entry of every orphan group.
int64_t sectionTotalBytes(const std::vector<OrphanLeftoverGroup>& orphanGroups);

// The application the detail pane shows: the selected one, else the dropped one when nothing
// is selected.
std::optional<InstalledApp> selectedApp(const std::vector<InstalledApp>& apps,
                                        const std::optional<std::string>& selectedAppPath,
                                        const std::optional<InstalledApp>& droppedApp);
// The attribution shown with `app` (the result of `selectedApp`).
std::optional<LeftoverAttribution>
attributionFor(const InstalledApp& app, const std::optional<std::string>& selectedAppPath,
               const AttributionMap& attributions,
               const std::optional<LeftoverAttribution>& droppedAppAttribution);
std::optional<OrphanLeftoverGroup>
selectedOrphanGroup(const std::vector<OrphanLeftoverGroup>& orphanGroups,
                    const std::optional<std::string>& selectedOrphanGroupID);
bool isAppRowSelected(const ApplicationRow& row, const std::optional<std::string>& selectedAppPath);
bool isOrphanRowSelected(const OrphanLeftoverGroup& group,
                         const std::optional<std::string>& selectedOrphanGroupID);

// "~" and the rest of `path` when it lies in `home` (or is it), else `path` unchanged. Only a
// whole folder name counts: home "/home/ann" leaves "/home/ann2/x" as it is.
std::string homeRelativeDisplayPath(std::string_view path, std::string_view home);

} // namespace quillmere
