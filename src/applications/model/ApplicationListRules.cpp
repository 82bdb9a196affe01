#include "applications/model/ApplicationListRules.hpp"

#include "applications/model/TextRules.hpp"

#include <algorithm>

namespace quillmere {

int64_t combinedTotal(const InstalledApp& app, const std::optional<LeftoverAttribution>& attribution) {
    if (!attribution) return app.allocatedSize;
    int64_t total = 0;
    for (const LeftoverItem& item : attribution->items)
        total += item.allocatedSize;
    return total;
}

int64_t combinedTotal(const ApplicationRow& row) {
    return combinedTotal(row.app, row.attribution);
}

bool compareByCombinedTotal(const ApplicationRow& a, const ApplicationRow& b) {
    return combinedTotal(a) > combinedTotal(b);
}

namespace {

std::optional<LeftoverAttribution> lookUp(const AttributionMap& attributions, const std::string& path) {
    const auto found = attributions.find(path);
    if (found == attributions.end()) return std::nullopt;
    return found->second;
}

} // namespace

std::vector<ApplicationRow> filteredApplicationRows(const std::vector<InstalledApp>& apps,
                                                    const AttributionMap& attributions,
                                                    std::string_view searchText) {
    const std::string query = text::trimmedWhitespaceAndNewlines(searchText);
    std::vector<ApplicationRow> rows;
    for (const InstalledApp& app : apps) {
        const bool kept = query.empty() || text::caseInsensitiveContains(app.name, query) ||
                          (app.developer && text::caseInsensitiveContains(*app.developer, query));
        if (kept) rows.push_back({app, lookUp(attributions, app.path)});
    }
    std::ranges::stable_sort(rows, compareByCombinedTotal);
    return rows;
}

ApplicationsSummary applicationsSummary(const std::vector<InstalledApp>& apps,
                                        const AttributionMap& attributions) {
    ApplicationsSummary summary{.applicationCount = static_cast<int64_t>(apps.size())};
    for (const InstalledApp& app : apps) {
        summary.finderTotalBytes += app.allocatedSize;
        summary.realTotalBytes += combinedTotal(app, lookUp(attributions, app.path));
    }
    return summary;
}

int64_t maxCombinedTotal(const std::vector<ApplicationRow>& rows) {
    if (rows.empty()) return 1;
    int64_t largest = combinedTotal(rows.front());
    for (const ApplicationRow& row : rows)
        largest = std::max(largest, combinedTotal(row));
    return largest;
}

int64_t sectionTotalBytes(const std::vector<OrphanLeftoverGroup>& orphanGroups) {
    int64_t total = 0;
    for (const OrphanLeftoverGroup& group : orphanGroups)
        total += group.totalBytes();
    return total;
}

std::optional<InstalledApp> selectedApp(const std::vector<InstalledApp>& apps,
                                        const std::optional<std::string>& selectedAppPath,
                                        const std::optional<InstalledApp>& droppedApp) {
    if (!selectedAppPath) return droppedApp;
    const auto found = std::ranges::find(apps, *selectedAppPath, &InstalledApp::path);
    if (found == apps.end()) return std::nullopt;
    return *found;
}

std::optional<LeftoverAttribution>
attributionFor(const InstalledApp& app, const std::optional<std::string>& selectedAppPath,
               const AttributionMap& attributions,
               const std::optional<LeftoverAttribution>& droppedAppAttribution) {
    if (!selectedAppPath) return droppedAppAttribution;
    return lookUp(attributions, app.path);
}

std::optional<OrphanLeftoverGroup>
selectedOrphanGroup(const std::vector<OrphanLeftoverGroup>& orphanGroups,
                    const std::optional<std::string>& selectedOrphanGroupID) {
    if (!selectedOrphanGroupID) return std::nullopt;
    const auto found = std::ranges::find_if(
        orphanGroups, [&](const OrphanLeftoverGroup& group) { return group.id() == *selectedOrphanGroupID; });
    if (found == orphanGroups.end()) return std::nullopt;
    return *found;
}

bool isAppRowSelected(const ApplicationRow& row, const std::optional<std::string>& selectedAppPath) {
    return selectedAppPath && *selectedAppPath == row.app.path;
}

bool isOrphanRowSelected(const OrphanLeftoverGroup& group,
                         const std::optional<std::string>& selectedOrphanGroupID) {
    return selectedOrphanGroupID && *selectedOrphanGroupID == group.id();
}

std::string homeRelativeDisplayPath(std::string_view path, std::string_view home) {
    while (home.size() > 1 && home.ends_with('/'))
        home.remove_suffix(1);
    if (home.empty() || !path.starts_with(home)) return std::string(path);
    const std::string_view rest = path.substr(home.size());
    // The root as home: every absolute path lies in it.
    if (home == "/") return "~" + std::string(path);
    if (!rest.empty() && !rest.starts_with('/')) return std::string(path);
    return "~" + std::string(rest);
}

} // namespace quillmere
