#include "support/ApplicationsTestSupport.hpp"

#include "base/PathText.hpp"
#include "scan/DiskScanner.hpp"

#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <unicode/locid.h>
#include <unistd.h>

namespace quillmere::testing {

namespace {

// Removed again when the program ends.
struct ProgramFolder {
    ProgramFolder()
        : path((std::filesystem::temp_directory_path() / ("quillmere-apps-" + std::to_string(::getpid())))
                   .string()) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ProgramFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::string path;
};

const std::string& programFolder() {
    static const ProgramFolder folder;
    return folder.path;
}

// Texts that follow the locale (the summary's list) are checked in English.
class EnglishLocale : public ::testing::Environment {
public:
    void SetUp() override {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale("en_US"), status);
    }
};
[[maybe_unused]] const auto* const kEnglish = ::testing::AddGlobalTestEnvironment(new EnglishLocale);

} // namespace

const fixture::FixtureDisk& standardDisk() {
    static const fixture::FixtureDisk disk = [] {
        fixture::FixtureDisk written(programFolder() + "/standard");
        fixture::writeStandardScenario(written);
        return written;
    }();
    return disk;
}

const fixture::FixtureDisk& linuxDisk() {
    static const fixture::FixtureDisk disk = [] {
        fixture::FixtureDisk written(programFolder() + "/linux", std::string(fixture::kLinuxHome));
        fixture::writeLinuxScenario(written);
        return written;
    }();
    return disk;
}

ApplicationEnvironment linuxEnvironment(const fixture::FixtureDisk& disk, platform::ScanHost* host) {
    ApplicationRoots roots = ApplicationRoots::onDisk(
        disk.root(), disk.home(), [](const char*) { return std::optional<std::string>(); });
    ProtectedLocations protection(ProtectionRoots{.home = disk.home(), .systemRoot = disk.root()},
                                  [](const std::string&) { return false; });
    return ApplicationEnvironment{.roots = std::move(roots),
                                  .protection = std::move(protection),
                                  .host = host,
                                  .fullDiskAccess = [] { return true; }};
}

std::string freshFolder(const std::string& name) {
    const std::string path = programFolder() + "/" + name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

ApplicationEnvironment fixtureEnvironment(const fixture::FixtureDisk& disk, bool withTeam,
                                          platform::ScanHost* host) {
    ProtectionRoots protectionRoots{.home = disk.home(), .systemRoot = disk.root()};
    ProtectedLocations protection(std::move(protectionRoots), [](const std::string& path) {
        return lastPathComponent(path) == "Locked.app";
    });
    TeamIdentifierReader team = noSigningTeam;
    if (withTeam)
        team = [](const std::string& path) -> std::optional<std::string> {
            if (lastPathComponent(path) == "Signed.app") return "ABCDE12345";
            return std::nullopt;
        };
    return ApplicationEnvironment{.roots = {.systemRoot = disk.root(), .home = disk.home()},
                                  .protection = std::move(protection),
                                  .teamIdentifier = std::move(team),
                                  .host = host,
                                  .fullDiskAccess = [] { return true; }};
}

int64_t scannedBytes(const std::string& path) {
    const std::optional<DiskScanResult> result = DiskScanner(200).scanToEnd(path, true, "/nonexistent-home");
    return result ? result->root.allocatedSize() : -1;
}

std::vector<InstalledApp> inventory(DiskApplicationServices& services) {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::vector<InstalledApp> apps;
    services.discover(
        services.applicationFolders(services.roots().home),
        [&](InstalledApp app) {
            std::lock_guard guard(lock);
            apps.push_back(std::move(app));
        },
        [&] {
            std::lock_guard guard(lock);
            finished = true;
            done.notify_all();
        },
        nullptr);
    std::unique_lock guard(lock);
    done.wait(guard, [&] { return finished; });
    return apps;
}

} // namespace quillmere::testing
