#include "applications/model/ApplicationListRules.hpp"

#include "support/ApplicationsTestSupport.hpp"

#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

InstalledApp app(std::string name, int64_t size, std::optional<std::string> developer = {}) {
    return {.name = name,
            .developer = std::move(developer),
            .path = "/Apps/" + name + ".app",
            .allocatedSize = size};
}

LeftoverAttribution attribution(const InstalledApp& forApp, std::vector<int64_t> leftoverSizes) {
    LeftoverAttribution result{.app = forApp};
    result.items.push_back({.name = "bundle", .allocatedSize = forApp.allocatedSize});
    for (const int64_t size : leftoverSizes)
        result.items.push_back({.name = "left",
                                .group = LeftoverItem::Group::cachesPreferencesAndState,
                                .allocatedSize = size,
                                .sharedWithAppName = "Someone"});
    return result;
}

std::vector<std::string> names(const std::vector<ApplicationRow>& rows) {
    std::vector<std::string> result;
    for (const ApplicationRow& row : rows)
        result.push_back(row.app.name);
    return result;
}

class ApplicationListRulesTest : public ::testing::Test {
protected:
    const InstalledApp editor = app("Éditeur", 100, "Acme Software");
    const InstalledApp player = app("Player", 300);
    const InstalledApp zeta = app("ZETA Tools", 100, "Öko Labs");
    const InstalledApp tiny = app("Tiny", 50);
    std::vector<InstalledApp> apps{editor, player, zeta, tiny};
    AttributionMap attributions;
};

TEST_F(ApplicationListRulesTest, SearchFiltersByNameOrDeveloper) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> table{
        {"", {"Player", "Éditeur", "ZETA Tools", "Tiny"}},
        {" \t\n ", {"Player", "Éditeur", "ZETA Tools", "Tiny"}},
        {"zeta", {"ZETA Tools"}},
        {"  tools\n", {"ZETA Tools"}},
        // The developer is searched; an app without one only by its name.
        {"acme", {"Éditeur"}},
        {"ÖKO", {"ZETA Tools"}},
        // Diacritics count.
        {"editeur", {}},
        {"ÉDITEUR", {"Éditeur"}},
        {"TI", {"Tiny"}},
        {"/Apps", {}},
    };
    for (const auto& [query, expected] : table) {
        SCOPED_TRACE(query);
        EXPECT_EQ(names(filteredApplicationRows(apps, attributions, query)), expected);
    }
}

TEST_F(ApplicationListRulesTest, RowsSortByCombinedTotalKeepingInventoryOrderOnTies) {
    // Éditeur and ZETA Tools tie at 100 and keep their order.
    EXPECT_EQ(names(filteredApplicationRows(apps, attributions, "")),
              (std::vector<std::string>{"Player", "Éditeur", "ZETA Tools", "Tiny"}));
    // An attribution arriving later moves its row; shared items count in the total.
    attributions.emplace(zeta.path, attribution(zeta, {150, 100}));
    attributions.emplace(tiny.path, attribution(tiny, {0}));
    const std::vector<ApplicationRow> rows = filteredApplicationRows(apps, attributions, "");
    EXPECT_EQ(names(rows), (std::vector<std::string>{"ZETA Tools", "Player", "Éditeur", "Tiny"}));
    EXPECT_EQ(rows[0].attribution, attributions.at(zeta.path));
    EXPECT_EQ(rows[1].attribution, std::nullopt);
    EXPECT_EQ(combinedTotal(rows[0]), 350);
    EXPECT_EQ(maxCombinedTotal(rows), 350);
    EXPECT_TRUE(compareByCombinedTotal(rows[0], rows[1]));
    EXPECT_FALSE(compareByCombinedTotal(rows[1], rows[1]));

    EXPECT_EQ(applicationsSummary(apps, attributions), (ApplicationsSummary{4, 550, 800}));
    EXPECT_EQ(applicationsSummary({}, attributions), (ApplicationsSummary{0, 0, 0}));
    EXPECT_EQ(maxCombinedTotal({}), 1);
    EXPECT_EQ(maxCombinedTotal({{app("Empty", 0), std::nullopt}}), 0);
}

TEST_F(ApplicationListRulesTest, SelectionResolution) {
    const InstalledApp dropped = app("Dropped", 5);
    const LeftoverAttribution droppedAttribution = attribution(dropped, {1});
    attributions.emplace(player.path, attribution(player, {7}));
    struct Case {
        std::optional<std::string> selected;
        std::optional<InstalledApp> dropped;
        std::optional<InstalledApp> expectedApp;
    };
    const std::vector<Case> table{
        {std::nullopt, std::nullopt, std::nullopt},
        {std::nullopt, dropped, dropped},
        {player.path, dropped, player},
        // A selection that no longer exists selects nothing, even with a dropped app held.
        {"/Apps/Gone.app", dropped, std::nullopt},
    };
    for (const Case& each : table) {
        EXPECT_EQ(selectedApp(apps, each.selected, each.dropped), each.expectedApp);
    }
    EXPECT_EQ(attributionFor(dropped, std::nullopt, attributions, droppedAttribution), droppedAttribution);
    EXPECT_EQ(attributionFor(player, player.path, attributions, droppedAttribution),
              attributions.at(player.path));
    EXPECT_EQ(attributionFor(editor, editor.path, attributions, droppedAttribution), std::nullopt);
    const ApplicationRow row{player, std::nullopt};
    EXPECT_TRUE(isAppRowSelected(row, player.path));
    EXPECT_FALSE(isAppRowSelected(row, std::nullopt));

    const OrphanLeftoverGroup first{
        .guessedAppName = "Gone",
        .entries = {{.path = "/L/a", .allocatedSize = 3}, {.path = "/L/b", .allocatedSize = 4}}};
    const OrphanLeftoverGroup second{.entries = {{.path = "/L/c", .allocatedSize = 5}}};
    const std::vector<OrphanLeftoverGroup> groups{first, second};
    EXPECT_EQ(selectedOrphanGroup(groups, "unmatched:/L/c"), second);
    EXPECT_EQ(selectedOrphanGroup(groups, "Gone:/L/b"), std::nullopt);
    EXPECT_EQ(selectedOrphanGroup(groups, std::nullopt), std::nullopt);
    EXPECT_TRUE(isOrphanRowSelected(first, "Gone:/L/a"));
    EXPECT_EQ(sectionTotalBytes(groups), 12);
}

TEST(HomeRelativeDisplayPathTest, ShortensOnlyWholeFolderNames) {
    const std::vector<std::tuple<std::string, std::string, std::string>> table{
        {"/home/ann", "/home/ann", "~"},
        {"/home/ann/Library/Caches", "/home/ann", "~/Library/Caches"},
        {"/home/ann/Library/Caches", "/home/ann/", "~/Library/Caches"},
        {"/var/cache/x", "/home/ann", "/var/cache/x"},
        // A sibling folder whose name begins with the user's folder name stays whole.
        {"/home/ann2/x", "/home/ann", "/home/ann2/x"},
        {"/home/annex", "/home/ann", "/home/annex"},
    };
    for (const auto& [path, home, expected] : table)
        EXPECT_EQ(homeRelativeDisplayPath(path, home), expected) << path << " in " << home;
}

} // namespace
} // namespace quillmere::testing
