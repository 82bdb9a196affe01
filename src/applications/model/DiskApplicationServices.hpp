#pragma once

#include "applications/model/AppSources.hpp"
#include "applications/model/ApplicationRoots.hpp"
#include "applications/model/ApplicationServices.hpp"
#include "applications/model/InstalledApps.hpp"

#include <mutex>
#include <thread>
#include <vector>

namespace quillmere {

// What the services read besides the disk itself, so tests can stand in for it.
struct ApplicationEnvironment {
    ApplicationRoots roots;
    ProtectedLocations protection;
    TeamIdentifierReader teamIdentifier = noSigningTeam;
    platform::ScanHost* host = &platform::ScanHost::system();
    // Asked afresh for every scan; empty for the real Full Disk Access test.
    std::function<bool()> fullDiskAccess;

    // The running application's: its roots, and the protection policy of this computer, which a
    // system-root override only adds to.
    static ApplicationEnvironment current();
    // The protection policy for `roots`: this computer's, plus the system rules below the
    // system root when it is not "/".
    static ProtectedLocations protectionFor(const ApplicationRoots& roots);
};

// The Applications section's services on a real disk: bundles, then the applications of the
// Flatpak installations and the snaps, and the folders all of them leave behind.
class DiskApplicationServices final : public ApplicationServices {
public:
    explicit DiskApplicationServices(ApplicationEnvironment environment);
    // Stops the discoveries still running and waits for them.
    ~DiskApplicationServices() override;

    std::vector<std::string> applicationFolders(const std::string& home) const override;
    std::string library() const override;
    void discover(std::vector<std::string> folders, std::function<void(InstalledApp)> onApp,
                  std::function<void()> onFinished, std::shared_ptr<ScanCancellation> cancellation) override;
    InstalledApp read(const std::string& bundlePath) override;
    std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                              const std::string& library) override;
    std::vector<LeftoverItem> size(std::vector<LeftoverCandidate> candidates) override;
    std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                         const std::vector<InstalledApp>& installedApps,
                                         const std::string& home, const std::string& library) override;
    std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                                const std::vector<InstalledApp>& installedApps) override;

    const ApplicationRoots& roots() const { return environment_.roots; }

private:
    void runDiscovery(const std::vector<std::string>& folders, const std::function<void(InstalledApp)>& onApp,
                      const std::shared_ptr<ScanCancellation>& cancellation) const;
    // None for a snap that is not an application.
    std::optional<InstalledApp> readSource(const AppSource& source,
                                           const std::shared_ptr<ScanCancellation>& cancellation) const;

    ApplicationEnvironment environment_;
    ItemSizer sizer_;
    BundleReader reader_;

    std::mutex lock_;
    std::vector<std::pair<std::thread, std::shared_ptr<ScanCancellation>>> discoveries_;
};

} // namespace quillmere
