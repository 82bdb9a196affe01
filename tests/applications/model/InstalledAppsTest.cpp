#include "applications/model/InstalledApps.hpp"

#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"
#include "support/ApplicationsTestSupport.hpp"
#include "support/Eventually.hpp"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace quillmere::testing {
namespace {

using fixture::FixtureDisk;

struct ExpectedApp {
    std::string relativePath;
    std::string name;
    std::optional<std::string> version;
    std::optional<std::string> identifier;
    std::optional<std::string> developer;
    bool isProtected = false;
};

TEST(InstalledAppsTest, InventoryReadsEachBundleOnceInDiscoveryOrder) {
    const FixtureDisk& disk = standardDisk();
    DiskApplicationServices services(fixtureEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);

    // Not found: a bundle two levels down, a plain file directly in a folder, hidden entries.
    // Console Tool is reached twice (through the group folder and as a folder itself): once.
    const std::vector<ExpectedApp> expected{
        {"Applications/Acme Player.app", "Acme Player", "2.1", "com.acme.Player", "Acme Inc"},
        {"Applications/Acme Suite/Acme Editor.app", "Acme Editor", {}, "com.acme.Editor", "Northwind GmbH"},
        {"Applications/Acme Suite/Plain.app", "Plain"},
        {"Applications/Cache Data.app", "Cache Data", {}, "com.example.cachedata"},
        {"Applications/GarageBand.app", "GarageBand", {}, "com.example.garageband"},
        {"Applications/Locked.app", "Locked", {}, "com.example.locked", {}, true},
        {"Applications/Logic Pro.app", "Logic Pro", {}, "com.example.logic"},
        {"Applications/Shared Cache.app", "Shared Cache", {}, "com.example.sharedcache"},
        {"Applications/Signed.app", "Signed", {}, "com.signed.App", "ABCDE12345"},
        {"Applications/Tuner.app", "Tuner", "7"},
        {"Applications/Twin.app", "Twin", "1.0", "com.example.twin", "Twin Labs"},
        {"Applications/Utilities/Console Tool.app", "Console Tool"},
        {"System/Applications/Calculator.app", "Calculator", {}, "com.example.calculator", {}, true},
        {"Users/ann/Applications/Twin.app", "Twin", "1.0", "com.example.twin", "Twin Labs"},
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
        EXPECT_EQ(app.isProtected, expected[i].isProtected);
        EXPECT_EQ(app.allocatedSize, scannedBytes(app.path));
    }
    EXPECT_GT(apps.front().allocatedSize, 64 * 1024);

    // The XML and binary twins read the same.
    InstalledApp xmlTwin = apps[10];
    InstalledApp binaryTwin = apps[13];
    xmlTwin.path = binaryTwin.path;
    EXPECT_EQ(xmlTwin, binaryTwin);
}

TEST(InstalledAppsTest, WithoutASigningServiceTheDeveloperComesFromTheCopyright) {
    const FixtureDisk& disk = standardDisk();
    const BundleReader reader(fixtureEnvironment(disk, false).protection, ItemSizer(disk.home()),
                              noSigningTeam);
    EXPECT_EQ(reader.read(disk.path("Applications/Signed.app")).developer, "Signed Software");
}

TEST(InstalledAppsTest, CopyrightHolderTable) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> table{
        {"© 2023 Acme Inc. All rights reserved.", "Acme Inc"},
        {"(C) 1999-2004, Foo GmbH", "Foo GmbH"},
        {"Foo Software", "Foo Software"},
        {"Made by Foo, 2020", "Made by Foo, 2020"},
        {"© 2015–2023 Bar Ltd.", "–2023 Bar Ltd"},
        {"© 2020", std::nullopt},
        {"Copyright (c) \t2001 , Baz Corp. ALL RIGHTS RESERVED", "Baz Corp"},
        // Any Unicode number leads in: Arabic-Indic digits and a superscript two.
        {"© ٢٠٢٤ ²Qux", "Qux"},
        {"", std::nullopt},
    };
    for (const auto& [copyright, holder] : table) {
        SCOPED_TRACE(copyright);
        EXPECT_EQ(copyrightHolder(fixture::textInfo({{"NSHumanReadableCopyright", copyright}})), holder);
    }
    platform::PropertyListDictionary notText;
    notText.set("NSHumanReadableCopyright", platform::PropertyListValue{int64_t{2020}});
    EXPECT_EQ(copyrightHolder(notText), std::nullopt);
    EXPECT_EQ(copyrightHolder({}), std::nullopt);
}

TEST(InstalledAppsTest, BundlesReadListsWrittenByAnIndependentWriter) {
    const FixtureDisk disk(freshFolder("golden"));
    for (const char* format : {"xml", "bplist"}) {
        const std::string bundle =
            disk.bundle(std::string("Applications/") + format + ".app", {}, FixtureDisk::InfoFormat::none);
        std::filesystem::copy_file(std::string(QUILLMERE_PLATFORM_FIXTURES "/plist/info-typical.") + format,
                                   bundle + "/Contents/Info.plist");
    }
    DiskApplicationServices services(fixtureEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);
    ASSERT_EQ(apps.size(), 2u);
    for (const InstalledApp& app : apps) {
        EXPECT_EQ(app.name, "Acme Player");
        EXPECT_EQ(app.version, "2.4.1");
        EXPECT_EQ(app.bundleIdentifier, "com.acme.Player");
        // The en dash between the years is no number: the holder keeps it.
        EXPECT_EQ(app.developer, "–2023 Acme Inc");
    }
}

TEST(InstalledAppsTest, UnreadableInformationFallsBackToTheFileName) {
    const FixtureDisk disk(freshFolder("fallbacks"));
    disk.bundle("Applications/Garbled.app", {}, FixtureDisk::InfoFormat::garbled);
    disk.bundle("Applications/Text.app", {}, FixtureDisk::InfoFormat::none);
    disk.file("Applications/Text.app/Contents/Info.plist", 0);
    {
        // The OpenStep text format is not read: the bundle reads as if it had no list.
        std::ofstream(disk.path("Applications/Text.app/Contents/Info.plist"))
            << "{ CFBundleName = \"Other\"; }";
    }
    // An array at the top level is not a dictionary.
    disk.bundle("Applications/Array.app", {}, FixtureDisk::InfoFormat::none);
    std::ofstream(disk.path("Applications/Array.app/Contents/Info.plist")) << "<plist><array/></plist>";
    disk.folder("Applications/Empty.app");

    DiskApplicationServices services(fixtureEnvironment(disk));
    const std::vector<InstalledApp> apps = inventory(services);
    ASSERT_EQ(apps.size(), 4u);
    for (const InstalledApp& app : apps) {
        EXPECT_EQ(app.name, std::string(lastPathComponent(app.path)).substr(0, app.name.size()));
        EXPECT_EQ(app.version, std::nullopt);
        EXPECT_EQ(app.bundleIdentifier, std::nullopt);
        EXPECT_EQ(app.developer, std::nullopt);
    }
    EXPECT_EQ(apps[0].name, "Array");
    EXPECT_EQ(apps[3].name, "Text");
}

TEST(InstalledAppsTest, ProtectionComesFromThePolicyAndOnlyAddsUnderARootOverride) {
    const FixtureDisk& disk = standardDisk();
    // No restricted flag anywhere: only the system rules below the fixture root hold.
    const BundleReader reader(
        ProtectedLocations(ProtectionRoots{.home = disk.home(), .systemRoot = disk.root()},
                           [](const std::string&) { return false; }),
        ItemSizer(disk.home()));
    EXPECT_TRUE(reader.isProtected(disk.path("System/Applications/Calculator.app")));
    EXPECT_FALSE(reader.isProtected(disk.path("Applications/Locked.app")));
    // The override keeps the real system's rules.
    EXPECT_TRUE(reader.isProtected("/System/Applications/Calculator.app"));
    EXPECT_TRUE(reader.isProtected(disk.path("Applications")));
    EXPECT_FALSE(reader.isProtected("/Applications/Editor.app"));

    const ProtectedLocations real =
        ApplicationEnvironment::protectionFor({.systemRoot = "/", .home = disk.home()});
    EXPECT_EQ(real.roots().systemRoot, std::nullopt);
    const ProtectedLocations overridden =
        ApplicationEnvironment::protectionFor({.systemRoot = disk.root(), .home = disk.home()});
    EXPECT_EQ(overridden.roots().systemRoot, disk.root());
}

TEST(InstalledAppsTest, EmptyRootsAndACancelledDiscoveryEndAtOnce) {
    const FixtureDisk empty(freshFolder("empty"));
    DiskApplicationServices services(fixtureEnvironment(empty));
    EXPECT_TRUE(inventory(services).empty());

    DiskApplicationServices standard(fixtureEnvironment(standardDisk()));
    auto cancellation = std::make_shared<ScanCancellation>();
    cancellation->cancel();
    std::atomic<int> delivered = 0;
    std::promise<void> finished;
    standard.discover(
        standard.applicationFolders(standardDisk().home()), [&](InstalledApp) { ++delivered; },
        [&] { finished.set_value(); }, cancellation);
    finished.get_future().wait();
    EXPECT_EQ(delivered, 0);
}

TEST(InstalledAppsTest, DestroyingTheServicesMidSurveyStopsTheirWork) {
    // Destroyed at once, then while the first, the second… application is being handed over,
    // until the survey has no more: the destruction lands at every stage of the survey, waits
    // for its end, and nothing is handed over once it has begun.
    int stages = 0;
    for (int heldAt = 0; heldAt < 200; ++heldAt) {
        auto services = std::make_unique<DiskApplicationServices>(fixtureEnvironment(standardDisk()));
        const auto cancellation = std::make_shared<ScanCancellation>();
        std::atomic<int> delivered = 0, deliveredAfterwards = 0;
        std::atomic<bool> finished = false;
        services->discover(
            services->applicationFolders(standardDisk().home()),
            [&](InstalledApp) {
                if (cancellation->isCancelled()) ++deliveredAfterwards;
                if (++delivered == heldAt) (void)eventually([&] { return cancellation->isCancelled(); });
            },
            [&] { finished = true; }, cancellation);
        ASSERT_TRUE(eventually([&] { return delivered >= heldAt || finished; }));
        services.reset();
        EXPECT_TRUE(finished);
        EXPECT_EQ(deliveredAfterwards, 0) << "destroyed at " << heldAt;
        if (delivered < heldAt) break; // the survey ended before it had that many
        ++stages;
    }
    EXPECT_GT(stages, 5);
}

TEST(InstalledAppsTest, CallbacksMayHoldTheLastOwnerOfTheServices) {
    std::promise<void> destroyed;
    std::shared_ptr<DiskApplicationServices> services(
        new DiskApplicationServices(fixtureEnvironment(standardDisk())), [&](DiskApplicationServices* gone) {
            delete gone;
            destroyed.set_value();
        });
    DiskApplicationServices& raw = *services;
    raw.discover(
        raw.applicationFolders(standardDisk().home()), [owner = services](InstalledApp) {},
        [owner = services] {}, nullptr);
    services.reset();
    // The discovery thread lets the last owner go itself, and must not wait for itself.
    EXPECT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
}

TEST(InstalledAppsTest, ApplicationFoldersDeriveFromTheRoots) {
    const ApplicationRoots roots{.systemRoot = "/tmp/disk", .home = "/home/ann"};
    EXPECT_EQ(
        roots.applicationFolders(),
        (std::vector<std::string>{"/tmp/disk/Applications", "/tmp/disk/Applications/Utilities",
                                  "/tmp/disk/System/Applications", "/tmp/disk/System/Applications/Utilities",
                                  "/home/ann/Applications"}));
    EXPECT_EQ(roots.library(), "/tmp/disk/Library");
    const ApplicationRoots real{.home = "/home/ann"};
    EXPECT_EQ(real.applicationFolders().front(), "/Applications");
    EXPECT_EQ(real.library(), "/Library");

    // The development variable moves the system root; the home folder comes from HOME.
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    ::setenv("HOME", "/home/ann", 1);
    ::setenv("QUILLMERE_SYSTEM_ROOT", "/tmp/disk//", 1);
    EXPECT_EQ(ApplicationRoots::current().systemRoot, roots.systemRoot);
    EXPECT_EQ(ApplicationRoots::current(), ApplicationRoots::onDisk(roots.systemRoot, "/home/ann"));
    ::setenv("QUILLMERE_SYSTEM_ROOT", "relative/disk", 1);
    EXPECT_EQ(ApplicationRoots::current(), ApplicationRoots::onDisk("/", "/home/ann"));
    ::unsetenv("QUILLMERE_SYSTEM_ROOT");
    EXPECT_EQ(ApplicationRoots::current().systemRoot, "/");
    savedHome ? void(::setenv("HOME", home.c_str(), 1)) : void(::unsetenv("HOME"));
}

} // namespace
} // namespace quillmere::testing
