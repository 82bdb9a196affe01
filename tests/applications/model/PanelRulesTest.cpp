#include "applications/model/PanelRules.hpp"

#include "applications/LeftoverSamples.hpp"
#include "applications/model/ApplicationsTexts.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using Group = LeftoverItem::Group;

using testing::app;
using testing::item;

LeftoverAttribution attribution(const InstalledApp& a, std::vector<LeftoverItem> items) {
    return LeftoverAttribution{a, std::move(items), 0};
}

TEST(RemovablePanelRulesTest, TicksTargetsAndBytesFollowSharingAndOverrides) {
    const InstalledApp foo = app("/Applications/Foo.app", 300);
    const LeftoverAttribution a =
        attribution(foo, {item("/Applications/Foo.app", Group::application, 300),
                          item("/h/Library/Application Support/Foo", Group::supportAndContainers, 900),
                          item("/h/Library/Caches/com.foo", Group::cachesPreferencesAndState, 100),
                          item("/h/Library/Caches/shared", Group::cachesPreferencesAndState, 50, "Bar")});
    TickOverrides ticks;
    EXPECT_EQ(tickedItems(a, ticks).size(), 3u);
    EXPECT_EQ(selectedBytes(a, ticks), 1300);
    EXPECT_EQ(uninstallPaths(a, ticks),
              (std::set<std::string>{"/h/Library/Application Support/Foo", "/h/Library/Caches/com.foo"}));

    toggleTick(a.items[3], ticks); // the shared one: counted, listed, no bytes
    EXPECT_EQ(tickedItems(a, ticks).size(), 4u);
    EXPECT_EQ(selectedBytes(a, ticks), 1300);
    EXPECT_TRUE(uninstallPaths(a, ticks).contains("/h/Library/Caches/shared"));

    toggleTick(a.items[0], ticks); // unticking the bundle lowers the figures, never the target's app
    EXPECT_EQ(selectedBytes(a, ticks), 1000);
    EXPECT_FALSE(uninstallPaths(a, ticks).contains("/Applications/Foo.app"));
    toggleTick(a.items[0], ticks);
    EXPECT_FALSE(uninstallPaths(a, ticks).contains("/Applications/Foo.app"));

    EXPECT_EQ(totalBytes(a), 1350);
    EXPECT_EQ(cacheItems(a).size(), 1u);
    EXPECT_EQ(cacheBytes(a), 100);
}

TEST(RemovablePanelRulesTest, PlacesCountStandardisedParentFolders) {
    const InstalledApp foo = app("/A/Foo.app", 1);
    const LeftoverAttribution only = attribution(foo, {item("/A/Foo.app", Group::application, 1)});
    EXPECT_EQ(distinctFolderCount(only), 1);
    EXPECT_EQ(texts::itemCount(1), "1 item");
    EXPECT_EQ(texts::placeCount(1), "in 1 place");
    EXPECT_EQ(texts::placeCount(2), "in 2 places");
    EXPECT_EQ(texts::removingCount(1, 1), "Removing 1 of 1 items");
    EXPECT_TRUE(uninstallPaths(only, {}).empty());
    EXPECT_TRUE(cacheItems(only).empty());

    const LeftoverAttribution dotted =
        attribution(foo, {item("/A/Foo.app", Group::application, 1),
                          item("/L/./Caches/x", Group::cachesPreferencesAndState, 1),
                          item("/L/Caches/y", Group::cachesPreferencesAndState, 1),
                          item("/L/Other/../Caches/z", Group::cachesPreferencesAndState, 1)});
    EXPECT_EQ(distinctFolderCount(dotted), 2);
}

TEST(RemovablePanelRulesTest, BundleRemovalIsRecognisedByRawOrCanonicalPath) {
    const InstalledApp linked = app("/Links/Foo.app", 1);
    const LeftoverAttribution a =
        attribution(linked, {item("/Applications/Foo.app", Group::application, 1),
                             item("/h/Caches/foo", Group::cachesPreferencesAndState, 1)});
    EXPECT_TRUE(removedBundle({"/Links/Foo.app"}, linked, a));
    EXPECT_TRUE(removedBundle({"/h/Caches/foo", "/Applications/Foo.app"}, linked, a));
    EXPECT_FALSE(removedBundle({"/h/Caches/foo"}, linked, a));
    EXPECT_FALSE(removedBundle({"/Applications/Foo.app"}, linked, std::nullopt));
    EXPECT_FALSE(removedBundle({}, linked, a));
}

TEST(RowRulesTest, SubtitlesCaptionsAndBars) {
    const InstalledApp foo = app("/A/Foo.app", 300'000'000);
    ApplicationRow row{foo, std::nullopt};
    EXPECT_EQ(applicationSubtitle(row), "Bundle 300 MB · finding leftovers…");
    row.attribution = attribution(foo, {item("/A/Foo.app", Group::application, 300'000'000),
                                        item("/S/Foo", Group::supportAndContainers, 600'000'000),
                                        item("/C/foo", Group::cachesPreferencesAndState, 400'000'000)});
    EXPECT_EQ(dominantLeftoverCaption(row), "mostly Foo") << "exactly 60 %";
    row.attribution->items[1].allocatedSize = 599'000'000;
    row.attribution->items[2].allocatedSize = 401'000'000;
    EXPECT_EQ(dominantLeftoverCaption(row), std::nullopt) << "59.9 %";
    EXPECT_EQ(applicationSubtitle(row), "Bundle 300 MB · leftovers 1 GB");

    row.attribution->items.resize(1);
    EXPECT_EQ(applicationSubtitle(row), "Bundle 300 MB · leftovers Zero KB");
    row.app.isProtected = true;
    EXPECT_EQ(applicationSubtitle(row), "Bundle 300 MB · sized, but Quillmere won’t remove it");

    EXPECT_DOUBLE_EQ(barWidth(140, 50, 100), 70);
    EXPECT_DOUBLE_EQ(barWidth(140, 5, 0), 700) << "a scale of 0 divides by 1";
    EXPECT_DOUBLE_EQ(barWidth(140, -5, 100), 0);
    ApplicationRow negative{app("/A/N.app", -20), std::nullopt};
    EXPECT_EQ(applicationSubtitle(negative), "Bundle Zero KB · finding leftovers…");
    EXPECT_EQ(leftoverBytes(negative), 0);
}

TEST(RowRulesTest, OrphanSectionCountsPlacesNotGroups) {
    OrphanLeftoverGroup one{
        std::nullopt, "x", "", {OrphanEntry{"x", "/L/x", Group::supportAndContainers, 10, 0, {}}}};
    EXPECT_EQ(orphanEntryCount({one}), 1);
    EXPECT_EQ(
        texts::orphanSectionTail(10, 1),
        "  —  10 bytes in 1 place whose app is gone. Quillmere is guessing; nothing is ticked by default.");
    OrphanLeftoverGroup two = one;
    two.entries.push_back(OrphanEntry{"y", "/L/y", Group::supportAndContainers, 10, 0, {}});
    EXPECT_EQ(orphanEntryCount({two}), 2);
    EXPECT_NE(texts::orphanSectionTail(20, 2).find(" in 2 places whose"), std::string::npos);
    EXPECT_NE(texts::orphanSectionTail(-5, 2).find("Zero KB"), std::string::npos);
}

TEST(OrphanPanelRulesTest, NothingIsTickedUntilTheUserTicksAndDuplicatePathsTickTogether) {
    OrphanLeftoverGroup group{"Gone",
                              "Gone",
                              "",
                              {OrphanEntry{"a", "/L/a", Group::supportAndContainers, 10, 0, {}},
                               OrphanEntry{"b", "/L/b", Group::cachesPreferencesAndState, 20, 0, {}},
                               OrphanEntry{"a", "/L/a", Group::supportAndContainers, 10, 0, {}}}};
    TickOverrides ticks;
    EXPECT_TRUE(tickedEntries(group, ticks).empty());
    EXPECT_EQ(tickedBytes(group, ticks), 0);
    ticks["/L/b"] = true;
    EXPECT_EQ(tickedPaths(group, ticks), std::set<std::string>{"/L/b"});
    ticks["/L/a"] = true;
    EXPECT_EQ(tickedEntries(group, ticks).size(), 3u);
    EXPECT_EQ(tickedPaths(group, ticks).size(), 2u);
    ticks["/L/a"] = false;
    EXPECT_EQ(tickedBytes(group, ticks), 20);
    EXPECT_EQ(texts::notInstalledLine(1), "Not installed · 1 folder left behind");
    EXPECT_EQ(texts::notInstalledLine(4), "Not installed · 4 folders left behind");
    group.guessedAppName.reset();
    group.evidence = "com.gone.plist";
    EXPECT_EQ(orphanTitle(group), "com.gone.plist");
}

TEST(PackagedPanelRulesTest, NothingStartsTickedTheApplicationIsNeverClearedAndSharedBytesDoNotCount) {
    InstalledApp gimp = app("/flatpak/app/org.gimp.GIMP", 300);
    gimp.packaging = InstalledApp::Packaging::flatpak;
    gimp.bundleIdentifier = "org.gimp.GIMP";
    const LeftoverAttribution a =
        attribution(gimp, {item("/flatpak/app/org.gimp.GIMP", Group::application, 300),
                           item("/h/.var/app/org.gimp.GIMP/data", Group::supportAndContainers, 900),
                           item("/h/.var/app/org.gimp.GIMP/config", Group::supportAndContainers, 50, "Twin"),
                           item("/h/.var/app/org.gimp.GIMP/cache", Group::cachesPreferencesAndState, 100)});
    EXPECT_EQ(clearableItems(a).size(), 3u);
    TickOverrides ticks;
    EXPECT_TRUE(tickedClearableItems(a, ticks).empty());
    EXPECT_EQ(tickedClearableBytes(a, ticks), 0);
    for (const LeftoverItem& each : a.items)
        toggleClearingTick(each, ticks);
    // Ticking the application's own item still leaves it out.
    EXPECT_EQ(tickedClearableItems(a, ticks), clearableItems(a));
    EXPECT_EQ(tickedClearableBytes(a, ticks), 1000);
    toggleClearingTick(a.items[1], ticks);
    EXPECT_EQ(tickedClearableBytes(a, ticks), 100);
    EXPECT_EQ(tickedClearableItems(a, ticks).size(), 2u);

    // The row says what installed it, and the subtitle does not call its folder a bundle.
    ApplicationRow row{gimp, a};
    EXPECT_EQ(applicationSubtitle(row), "Installed 300 bytes · leftovers 1 KB — mostly data");
    EXPECT_EQ(rowBadge(gimp), "Flatpak");
    EXPECT_EQ(texts::removalCommand(gimp), "flatpak uninstall org.gimp.GIMP");
    gimp.packaging = InstalledApp::Packaging::snap;
    gimp.bundleIdentifier = "firefox";
    EXPECT_EQ(rowBadge(gimp), "Snap");
    EXPECT_EQ(texts::removalCommand(gimp), "snap remove firefox");
    EXPECT_EQ(rowBadge(app("/S/Calc.app", 1, true)), "Built into the system");
    EXPECT_EQ(rowBadge(app("/A/Foo.app", 1)), std::nullopt);
}

TEST(ProtectedPanelRulesTest, WebsiteDataIsAnExactFolderNameWhateverTheGroup) {
    const InstalledApp safari = app("/Applications/Safari.app", 5, true);
    const LeftoverAttribution a = attribution(
        safari,
        {item("/Applications/Safari.app", Group::application, 5),
         item("/h/Library/Containers/com.safari/Data/Library/WebKit/x", Group::supportAndContainers, 100),
         item("/h/Library/Containers/com.safari/webkit/y", Group::supportAndContainers, 10),
         item("/h/Library/HTTPStorages/com.safari", Group::cachesPreferencesAndState, 20),
         item("/h/Library/Cookies/Foo.binarycookies", Group::application, 1)});
    EXPECT_EQ(websiteDataBytes(a), 121);
    EXPECT_EQ(cachesAndContainersBytes(a), 10);
    EXPECT_EQ(leftoverPaths(a).size(), 3u);
    EXPECT_EQ(websiteDataBytes(std::nullopt), 0);
    EXPECT_TRUE(leftoverPaths(attribution(safari, {a.items.front()})).empty());
}

TEST(DropRulesTest, DragsTakeAnyCaseButOnlyExactAppIsInspected) {
    EXPECT_TRUE(looksLikeApplication("/x/Foo.app"));
    EXPECT_TRUE(looksLikeApplication("/x/FOO.APP"));
    EXPECT_TRUE(looksLikeApplication("/x/Foo.app/"));
    EXPECT_FALSE(looksLikeApplication("/x/Foo"));
    EXPECT_FALSE(looksLikeApplication("/x/Foo.apps"));
    EXPECT_FALSE(looksLikeApplication("/x/.app"));
    EXPECT_TRUE(isInspectableApplication("/x/Foo.app"));
    EXPECT_TRUE(isInspectableApplication("/x/Foo.app/"));
    EXPECT_FALSE(isInspectableApplication("/x/FOO.APP"));
    EXPECT_FALSE(isInspectableApplication("/x/Foo.App"));
    EXPECT_FALSE(isInspectableApplication("/x.app/Foo"));
}

TEST(ListAreaTest, LoadingOnlyUntilTheInventoryEndsAndNoMatchOnlyForARealQuery) {
    EXPECT_EQ(listAreaContent(false, false, false, true, "x"), ListAreaContent::loading);
    EXPECT_EQ(listAreaContent(false, true, false, true, ""), ListAreaContent::list);
    EXPECT_EQ(listAreaContent(false, true, false, false, " \n"), ListAreaContent::headerOnly);
    EXPECT_EQ(listAreaContent(false, true, false, false, " x "), ListAreaContent::noMatch);
    EXPECT_EQ(listAreaContent(true, false, false, false, "zz"), ListAreaContent::noMatch);
    EXPECT_EQ(listAreaContent(true, false, true, false, ""), ListAreaContent::list);
    EXPECT_EQ(texts::noMatch(" zz "), "No applications match “ zz .”");
    EXPECT_EQ(texts::versionAndDeveloper(nullptr, nullptr), "");
    const std::string dev = "Acme";
    EXPECT_EQ(texts::versionAndDeveloper(nullptr, &dev), "Acme");
    const std::string version = "1.2";
    EXPECT_EQ(texts::versionAndDeveloper(&version, &dev), "Version 1.2 · Acme");
}

} // namespace
} // namespace quillmere
