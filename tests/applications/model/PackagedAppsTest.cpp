#include "applications/model/AppSources.hpp"
#include "applications/model/KeyFile.hpp"
#include "applications/model/LeftoverAttribution.hpp"
#include "applications/model/LeftoverMatching.hpp"
#include "applications/model/PackagedData.hpp"
#include "platform/FolderListing.hpp"
#include "scan/FileNode.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace quillmere::testing {
namespace {

using fixture::FixtureDisk;
using Group = LeftoverItem::Group;
using Packaging = InstalledApp::Packaging;
constexpr int64_t KiB = 1024;

struct ExpectedApp {
    std::string relativePath;
    std::string name;
    std::optional<std::string> version;
    std::string identifier;
    std::optional<std::string> developer;
    Packaging packaging;
    std::optional<std::string> icon;
};

const InstalledApp& appNamed(const std::vector<InstalledApp>& apps, std::string_view identifier) {
    const auto found =
        std::ranges::find(apps, std::optional<std::string>(identifier), &InstalledApp::bundleIdentifier);
    if (found == apps.end()) throw std::runtime_error("no application " + std::string(identifier));
    return *found;
}

TEST(PackagedAppsTest, InventoryReadsBothInstallationsAndTheSnapsInOrder) {
    const FixtureDisk& disk = linuxDisk();
    DiskApplicationServices services(linuxEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);

    // Not listed: the runtime, an application folder without an active checkout, the base,
    // core and snapd snaps, and "bin" in the snap folder.
    const std::string system = "var/lib/flatpak/app/";
    const std::string user = "home/ann/.local/share/flatpak/app/";
    const std::string gimpCheckout = system + "org.gimp.GIMP/current/active/";
    const std::vector<ExpectedApp> expected{
        {system + "org.example.Broken", "Broken", {}, "org.example.Broken", {}, Packaging::flatpak, {}},
        {system + "org.gimp.GIMP", "GNU Image Manipulation Program", "2.10.38", "org.gimp.GIMP",
         "The GIMP Team", Packaging::flatpak,
         gimpCheckout + "export/share/icons/hicolor/scalable/apps/org.gimp.GIMP.svg"},
        {user + "com.example.CacheOnly",
         "CacheOnly",
         {},
         "com.example.CacheOnly",
         {},
         Packaging::flatpak,
         user + "com.example.CacheOnly/current/active/export/share/icons/hicolor/scalable/apps/"
                "com.example.CacheOnly.svg"},
        {user + "org.gnome.Podcasts", "Podcasts", "0.7.1", "org.gnome.Podcasts", "The GNOME Project",
         Packaging::flatpak,
         user + "org.gnome.Podcasts/current/active/export/share/icons/hicolor/64x64@2/apps/"
                "org.gnome.Podcasts.png"},
        {"snap/firefox", "Firefox", "128.0.3-1", "firefox", "Mozilla", Packaging::snap,
         "snap/firefox/current/meta/gui/icon.svg"},
    };
    ASSERT_EQ(apps.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].relativePath);
        const InstalledApp& app = apps[i];
        EXPECT_EQ(app.path, disk.path(expected[i].relativePath));
        EXPECT_EQ(app.name, expected[i].name);
        EXPECT_EQ(app.version, expected[i].version);
        EXPECT_EQ(app.bundleIdentifier, expected[i].identifier);
        EXPECT_EQ(app.developer, expected[i].developer);
        EXPECT_EQ(app.packaging, expected[i].packaging);
        EXPECT_EQ(app.iconPath,
                  expected[i].icon ? std::optional(disk.path(*expected[i].icon)) : std::nullopt);
        EXPECT_FALSE(app.isProtected);
        if (app.packaging == Packaging::flatpak) {
            EXPECT_EQ(app.allocatedSize, scannedBytes(app.path));
        }
    }
    // The application's folder with a file linked twice inside it (and once more in the
    // repository) counts that file once.
    const int64_t gimp = apps[1].allocatedSize;
    EXPECT_GE(gimp, (256 + 128) * KiB);
    EXPECT_LT(gimp, (256 + 2 * 128) * KiB);
    // A snap is its current revision's package file, not an older one's.
    EXPECT_EQ(apps[4].allocatedSize,
              platform::itemAllocatedBytes(disk.path("var/lib/snapd/snaps/firefox_4259.snap")));
    EXPECT_GE(apps[4].allocatedSize, 640 * KiB);
    EXPECT_LT(apps[4].allocatedSize, 1200 * KiB);
}

TEST(PackagedAppsTest, RootsFollowFlatpaksOwnVariables) {
    const std::map<std::string, std::string> variables{{"FLATPAK_SYSTEM_DIR", "/opt/flatpak/"},
                                                       {"FLATPAK_USER_DIR", "relative/ignored"},
                                                       {"XDG_DATA_HOME", "/data"}};
    const auto environment = [&](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    };
    const ApplicationRoots roots = ApplicationRoots::onDisk("/disk", "/home/ann", environment);
    EXPECT_EQ(roots.flatpakSystemInstallation, "/opt/flatpak");
    EXPECT_EQ(roots.flatpakUserInstallation, "/data/flatpak");
    EXPECT_EQ(roots.snapMounts, "/disk/snap");
    EXPECT_EQ(roots.snapPackages, "/disk/var/lib/snapd/snaps");
    const ApplicationRoots plain =
        ApplicationRoots::onDisk("/", "/home/ann", [](const char*) { return std::nullopt; });
    EXPECT_EQ(plain.flatpakSystemInstallation, "/var/lib/flatpak");
    EXPECT_EQ(plain.flatpakUserInstallation, "/home/ann/.local/share/flatpak");
    EXPECT_EQ(plain.snapMounts, "/snap");
}

TEST(PackagedAppsTest, WithoutFlatpakOrSnapTheInventoryIsTheBundlesAlone) {
    const FixtureDisk& disk = standardDisk();
    DiskApplicationServices bundlesOnly(fixtureEnvironment(disk));
    ApplicationEnvironment environment = fixtureEnvironment(disk);
    environment.roots =
        ApplicationRoots::onDisk(disk.root(), disk.home(), [](const char*) { return std::nullopt; });
    DiskApplicationServices everything(std::move(environment));
    EXPECT_EQ(inventory(everything), inventory(bundlesOnly));
}

TEST(PackagedAppsTest, OddInstallationsNeverLoseAnApplicationNorListARuntime) {
    const FixtureDisk disk(freshFolder("odd-flatpak"));
    const auto checkout = [&](const std::string& id, const std::string& branch) {
        return "app/" + id + "/x86_64/" + branch + "/c0ffee";
    };
    const auto activate = [&](const std::string& id, const std::string& branch) {
        disk.link("app/" + id + "/x86_64/" + branch + "/active", "c0ffee");
    };
    // Only a beta branch, and no "current": still installed. Garbled metadata and an oversized
    // desktop entry: listed under the identifier's last part.
    disk.text(checkout("org.example.BetaOnly", "beta") + "/metadata", "\x01\x02 not a key file");
    disk.text(checkout("org.example.BetaOnly", "beta") +
                  "/export/share/applications/org.example.BetaOnly.desktop",
              "[Desktop Entry]\nName=Too big\nComment=" + std::string(kKeyFileMaxBytes, 'x') + "\n");
    activate("org.example.BetaOnly", "beta");
    // A runtime placed among applications by mistake.
    disk.text(checkout("org.example.Misplaced", "stable") + "/metadata",
              "[Runtime]\nname=org.example.Misplaced\n");
    activate("org.example.Misplaced", "stable");
    // "current" pointing nowhere and no other branch with a checkout.
    disk.link("app/org.example.Dangling/current", "x86_64/gone");
    // An identifier without dots is its own last part; an empty Name falls back to it.
    disk.text(checkout("plainname", "stable") + "/metadata", "[Application]\nname=plainname\n");
    disk.text(checkout("plainname", "stable") + "/export/share/applications/plainname.desktop",
              "[Desktop Entry]\nName=   \n");
    activate("plainname", "stable");

    const std::vector<flatpak::Deployment> found = flatpak::listApplications(disk.root());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].identifier, "org.example.BetaOnly");
    EXPECT_EQ(found[0].checkout, disk.path("app/org.example.BetaOnly/x86_64/beta/active"));
    EXPECT_EQ(found[1].identifier, "plainname");
    const ItemSizer sizer(disk.root());
    EXPECT_EQ(flatpak::readApplication(found[0], sizer).name, "BetaOnly");
    EXPECT_EQ(flatpak::readApplication(found[1], sizer).name, "plainname");
    EXPECT_TRUE(flatpak::isInstalled(disk.root(), "org.example.BetaOnly"));
    EXPECT_FALSE(flatpak::isInstalled(disk.root(), "org.example.Dangling"));
    EXPECT_FALSE(flatpak::isInstalled(disk.root(), "../app/plainname"));
    EXPECT_FALSE(flatpak::isInstalled("", "plainname"));
}

TEST(PackagedAppsTest, LargestIconIsScalableThenTheWidestScaledSize) {
    const FixtureDisk disk(freshFolder("icons"));
    EXPECT_EQ(flatpak::largestIcon(disk.root(), "a"), std::nullopt);
    disk.file("16x16/apps/a.png", 1);
    disk.file("24x24@2/apps/a.png", 1);
    disk.file("32x32/apps/a.png", 1);
    disk.file("512x512/apps/other.png", 1);
    disk.file("symbolic/apps/a.svg", 1);
    disk.file("x64/apps/a.png", 1);
    EXPECT_EQ(flatpak::largestIcon(disk.root(), "a"), disk.path("24x24@2/apps/a.png"));
    disk.file("scalable/apps/a.svg", 1);
    EXPECT_EQ(flatpak::largestIcon(disk.root(), "a"), disk.path("scalable/apps/a.svg"));
}

TEST(PackagedAppsTest, OnlyApplicationSnapsAreApplications) {
    const auto described = [](std::string type) {
        return std::optional(SnapYaml{{"type", std::move(type)}});
    };
    for (const char* name : {"core", "core18", "core24", "snapd", "bare", "core22_test"})
        EXPECT_FALSE(snap::isApplication(name, std::nullopt)) << name;
    for (const char* type : {"base", "os", "core", "snapd", "kernel", "gadget"})
        EXPECT_FALSE(snap::isApplication("something", described(type))) << type;
    EXPECT_TRUE(snap::isApplication("something", described("app")));
    EXPECT_TRUE(snap::isApplication("something", SnapYaml{}));
    EXPECT_TRUE(snap::isApplication("corefonts", std::nullopt));
    EXPECT_TRUE(snap::isApplication("core-utils", std::nullopt));
}

struct ExpectedItem {
    std::string relativePath;
    Group group;
};

TEST(PackagedAppsTest, EachApplicationsHomeFolderIsItsCachesAndData) {
    const FixtureDisk& disk = linuxDisk();
    DiskApplicationServices services(linuxEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);
    const std::string data = "home/ann/.var/app/";
    const std::vector<std::pair<std::string, std::vector<ExpectedItem>>> expected{
        {"org.gimp.GIMP",
         {{data + "org.gimp.GIMP/data", Group::supportAndContainers},
          {data + "org.gimp.GIMP/config", Group::supportAndContainers},
          {data + "org.gimp.GIMP/.ld.so", Group::supportAndContainers},
          {data + "org.gimp.GIMP/cache", Group::cachesPreferencesAndState}}},
        {"org.gnome.Podcasts",
         {{data + "org.gnome.Podcasts/data", Group::supportAndContainers},
          {data + "org.gnome.Podcasts/cache", Group::cachesPreferencesAndState}}},
        {"com.example.CacheOnly", {{data + "com.example.CacheOnly/cache", Group::cachesPreferencesAndState}}},
        {"org.example.Broken", {{data + "org.example.Broken/cache", Group::cachesPreferencesAndState}}},
        // "current" links to the revision beside it: listed once, as the revision.
        {"firefox",
         {{"home/ann/snap/firefox/4259", Group::supportAndContainers},
          {"home/ann/snap/firefox/common", Group::supportAndContainers}}},
    };
    for (const auto& [identifier, items] : expected) {
        SCOPED_TRACE(identifier);
        const InstalledApp& app = appNamed(apps, identifier);
        const LeftoverAttribution attribution =
            LeftoverAttributor::attribute(services, app, apps, disk.home());
        ASSERT_EQ(attribution.items.size(), items.size() + 1);
        EXPECT_EQ(attribution.items[0].group, Group::application);
        EXPECT_EQ(attribution.items[0].allocatedSize, app.allocatedSize);
        for (size_t i = 0; i < items.size(); ++i) {
            const LeftoverItem& item = attribution.items[i + 1];
            SCOPED_TRACE(item.path);
            EXPECT_EQ(item.path, FileNode::canonicalPath(disk.path(items[i].relativePath)));
            EXPECT_EQ(item.group, items[i].group);
            EXPECT_EQ(item.allocatedSize, scannedBytes(item.path));
            EXPECT_EQ(item.matchSignal, LeftoverItem::MatchSignal::bundleIdentifier);
            EXPECT_FALSE(item.sharedWithAppName);
        }
    }
}

TEST(PackagedAppsTest, LinksInAnApplicationsFolderNeverLeadOutOfItNorCountTwice) {
    const FixtureDisk disk(freshFolder("snap-link"));
    disk.file("home/snap/tool/x1/state", 4 * KiB);
    disk.file("home/snap/tool/common/data", 4 * KiB);
    disk.link("home/snap/tool/current", "x1");
    disk.file("home/Music/album", 4 * KiB);
    disk.link("home/snap/tool/music", disk.path("home/Music"));
    disk.link("home/snap/tool/loop", "x1/../common");
    InstalledApp tool;
    tool.name = "Tool";
    tool.bundleIdentifier = "tool";
    tool.packaging = Packaging::snap;
    tool.path = disk.path("snap/tool");
    std::vector<std::string> names;
    for (const LeftoverCandidate& candidate :
         LeftoverAttributor::candidates(tool, disk.path("home"), disk.path("L")))
        names.push_back(candidate.name);
    EXPECT_EQ(names, (std::vector<std::string>{"common", "x1"}));
}

TEST(PackagedAppsTest, TheSameApplicationInBothInstallationsSharesItsFolder) {
    const FixtureDisk& disk = linuxDisk();
    DiskApplicationServices services(linuxEnvironment(disk));
    std::vector<InstalledApp> apps = inventory(services);
    InstalledApp twin = appNamed(apps, "org.gnome.Podcasts");
    twin.path = disk.path("var/lib/flatpak/app/org.gnome.Podcasts");
    twin.name = "Podcasts (system)";
    apps.push_back(twin);
    const LeftoverAttribution attribution =
        LeftoverAttributor::attribute(services, appNamed(apps, "org.gnome.Podcasts"), apps, disk.home());
    ASSERT_EQ(attribution.items.size(), 3u);
    EXPECT_EQ(attribution.items[1].sharedWithAppName, "Podcasts (system)");
    EXPECT_EQ(attribution.items[2].sharedWithAppName, "Podcasts (system)");
}

TEST(PackagedAppsTest, FoldersOfApplicationsInstalledNowhereAreOrphans) {
    const FixtureDisk& disk = linuxDisk();
    DiskApplicationServices services(linuxEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);
    // Installed applications keep their folders whether or not the list holds them: the
    // installations themselves are asked.
    for (const std::vector<InstalledApp>& installed : {apps, std::vector<InstalledApp>{}}) {
        const std::vector<OrphanLeftoverGroup> groups =
            services.findGroups(disk.home(), services.library(), installed);
        ASSERT_EQ(groups.size(), 2u);
        const std::vector<std::pair<std::string, std::string>> expected{
            {"org.example.Removed", "home/ann/.var/app/org.example.Removed"},
            {"gone-tool", "home/ann/snap/gone-tool"}};
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].first);
            const OrphanLeftoverGroup& group = groups[i];
            EXPECT_EQ(group.guessedAppName, expected[i].first);
            EXPECT_EQ(group.evidence, expected[i].first);
            EXPECT_EQ(group.summary, "Support");
            ASSERT_EQ(group.entries.size(), 1u);
            EXPECT_EQ(group.entries[0].name, expected[i].first);
            EXPECT_EQ(group.entries[0].path, disk.path(expected[i].second));
            EXPECT_EQ(group.entries[0].allocatedSize, scannedBytes(group.entries[0].path));
            EXPECT_TRUE(group.entries[0].lastTouched);
        }
    }
    // An application of the list claims its folder even where no installation is read.
    InstalledApp removed = appNamed(apps, "org.gimp.GIMP");
    removed.bundleIdentifier = "org.example.Removed";
    const auto claimed = packaged_data::orphanGroups(disk.home(), {}, {removed}, ItemSizer(disk.home()));
    EXPECT_TRUE(std::ranges::none_of(claimed, [](const OrphanLeftoverGroup& group) {
        return group.guessedAppName == "org.example.Removed";
    }));
    // A bundle with the same identifier does not claim a Flatpak application's folder.
    removed.packaging = Packaging::bundle;
    const auto unclaimed = packaged_data::orphanGroups(disk.home(), {}, {removed}, ItemSizer(disk.home()));
    EXPECT_TRUE(std::ranges::any_of(unclaimed, [](const OrphanLeftoverGroup& group) {
        return group.guessedAppName == "org.example.Removed";
    }));
}

} // namespace
} // namespace quillmere::testing
