#include "applications/model/DiskApplicationServices.hpp"

#include "applications/model/LeftoverAttribution.hpp"
#include "applications/model/LeftoverMatching.hpp"
#include "applications/model/OrphanLeftovers.hpp"
#include "applications/model/PackagedData.hpp"
#include "scan/TaskGroup.hpp"

#include <algorithm>

namespace quillmere {

ProtectedLocations ApplicationEnvironment::protectionFor(const ApplicationRoots& roots) {
    ProtectionRoots protectionRoots = ProtectionRoots::current();
    if (roots.systemRoot != "/") protectionRoots.systemRoot = roots.systemRoot;
    return ProtectedLocations(std::move(protectionRoots));
}

ApplicationEnvironment ApplicationEnvironment::current() {
    ApplicationRoots roots = ApplicationRoots::current();
    ProtectedLocations protection = protectionFor(roots);
    return ApplicationEnvironment{.roots = std::move(roots), .protection = std::move(protection)};
}

DiskApplicationServices::DiskApplicationServices(ApplicationEnvironment environment)
    : environment_(std::move(environment)),
      sizer_(environment_.roots.home, *environment_.host, environment_.fullDiskAccess),
      reader_(environment_.protection, sizer_, environment_.teamIdentifier) {}

DiskApplicationServices::~DiskApplicationServices() {
    std::vector<std::pair<std::thread, std::shared_ptr<ScanCancellation>>> running;
    {
        std::lock_guard guard(lock_);
        running.swap(discoveries_);
    }
    for (auto& [thread, cancellation] : running) {
        cancellation->cancel();
        // The consumer's callbacks may hold the last owner of these services, so a discovery
        // thread can end up here itself while it lets them go: it is finishing, not waited for.
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
}

std::vector<std::string> DiskApplicationServices::applicationFolders(const std::string& home) const {
    return environment_.roots.applicationFolders(home);
}

std::string DiskApplicationServices::library() const {
    return environment_.roots.library();
}

void DiskApplicationServices::discover(std::vector<std::string> folders,
                                       std::function<void(InstalledApp)> onApp,
                                       std::function<void()> onFinished,
                                       std::shared_ptr<ScanCancellation> cancellation) {
    if (!cancellation) cancellation = std::make_shared<ScanCancellation>();
    std::lock_guard guard(lock_);
    std::thread thread([this, folders = std::move(folders), onApp = std::move(onApp),
                        onFinished = std::move(onFinished), cancellation] {
        try {
            runDiscovery(folders, onApp, cancellation);
        } catch (...) {
            // Whatever went wrong, the consumer still learns that the inventory has ended.
        }
        onFinished();
    });
    discoveries_.emplace_back(std::move(thread), std::move(cancellation));
}

void DiskApplicationServices::runDiscovery(const std::vector<std::string>& folders,
                                           const std::function<void(InstalledApp)>& onApp,
                                           const std::shared_ptr<ScanCancellation>& cancellation) const {
    const std::vector<AppSource> sources = appSources(folders, environment_.roots);
    // Records are handed on in listing order as soon as all before them are read: a completion
    // order the reads could have had, and the same one on every run.
    std::vector<std::optional<InstalledApp>> read(sources.size());
    std::vector<char> done(sources.size(), false);
    std::mutex deliver;
    size_t nextToDeliver = 0;
    TaskGroup group;
    for (size_t i = 0; i < sources.size(); ++i)
        group.run([&, i] {
            std::optional<InstalledApp> app;
            if (!cancellation->isCancelled()) {
                try {
                    app = readSource(sources[i], cancellation);
                } catch (...) {
                    // An application that cannot be examined is left out.
                }
            }
            std::lock_guard guard(deliver);
            read[i] = std::move(app);
            done[i] = true;
            for (; nextToDeliver < sources.size() && done[nextToDeliver]; ++nextToDeliver)
                if (read[nextToDeliver] && !cancellation->isCancelled())
                    onApp(std::move(*read[nextToDeliver]));
        });
    group.wait();
}

std::optional<InstalledApp>
DiskApplicationServices::readSource(const AppSource& source,
                                    const std::shared_ptr<ScanCancellation>& cancellation) const {
    if (const auto* bundle = std::get_if<std::string>(&source)) return reader_.read(*bundle, cancellation);
    if (const auto* deployment = std::get_if<flatpak::Deployment>(&source))
        return flatpak::readApplication(*deployment, sizer_, cancellation);
    return snap::readApplication(std::get<snap::Mount>(source), environment_.roots.snapPackages, sizer_);
}

InstalledApp DiskApplicationServices::read(const std::string& bundlePath) {
    return reader_.read(bundlePath);
}

std::vector<LeftoverCandidate> DiskApplicationServices::candidates(const InstalledApp& app,
                                                                   const std::string& home,
                                                                   const std::string& library) {
    return LeftoverAttributor::candidates(app, home, library);
}

std::vector<LeftoverItem> DiskApplicationServices::size(std::vector<LeftoverCandidate> candidates) {
    return LeftoverAttributor::size(candidates, sizer_);
}

std::vector<LeftoverItem> DiskApplicationServices::markShared(std::vector<LeftoverItem> items,
                                                              const InstalledApp& app,
                                                              const std::vector<InstalledApp>& installedApps,
                                                              const std::string& home,
                                                              const std::string& library) {
    return LeftoverAttributor::markShared(std::move(items), app, installedApps, home, library);
}

std::vector<OrphanLeftoverGroup>
DiskApplicationServices::findGroups(const std::string& home, const std::string& library,
                                    const std::vector<InstalledApp>& installedApps) {
    std::vector<OrphanLeftoverGroup> groups =
        OrphanLeftoverAttributor::findGroups(home, library, installedApps, sizer_);
    const auto isInstalled = [this](InstalledApp::Packaging packaging, std::string_view identifier) {
        return isInstalledAnywhere(environment_.roots, packaging, identifier);
    };
    std::vector<OrphanLeftoverGroup> packaged =
        packaged_data::orphanGroups(home, isInstalled, installedApps, sizer_);
    groups.insert(groups.end(), std::make_move_iterator(packaged.begin()),
                  std::make_move_iterator(packaged.end()));
    // Both kinds in one order, largest first; equal totals keep the Library's groups first.
    std::ranges::stable_sort(groups, std::greater{}, &OrphanLeftoverGroup::totalBytes);
    return groups;
}

} // namespace quillmere
