// Times the Applications section's survey on the real services over a scaled fixture disk:
//   applications-bench [DIR] [--runs N] [--linux]
// DIR (default /tmp/quillmere-apps-bench) is written once with 200 bundles, half with XML and half
// with binary information lists, their leftovers (some shared), orphans and a home folder of
// 100,000 files; later runs reuse it. One survey warms the cache, then N (default 3) are timed.
// With --linux, DIR (default /tmp/quillmere-apps-bench-linux) holds 200 Flatpak applications
// split over a system and a user installation, each with its cache and data, and 100 folders
// of removed applications.
#include "applications/model/DiskApplicationServices.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "support/AppFixture.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>

using namespace quillmere;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The real services, watched: how many attribution runs are in flight, and the orphan search's time.
class WatchedServices final : public ApplicationServices {
public:
    explicit WatchedServices(std::shared_ptr<DiskApplicationServices> inner) : inner_(std::move(inner)) {}

    std::vector<std::string> applicationFolders(const std::string& home) const override {
        return inner_->applicationFolders(home);
    }
    std::string library() const override { return inner_->library(); }
    void discover(std::vector<std::string> folders, std::function<void(InstalledApp)> onApp,
                  std::function<void()> onFinished, std::shared_ptr<ScanCancellation> cancellation) override {
        inner_->discover(std::move(folders), std::move(onApp), std::move(onFinished),
                         std::move(cancellation));
    }
    InstalledApp read(const std::string& bundlePath) override { return inner_->read(bundlePath); }
    std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                              const std::string& library) override {
        const int now = ++inFlight;
        int seen = mostInFlight.load();
        while (now > seen && !mostInFlight.compare_exchange_weak(seen, now)) {
        }
        return inner_->candidates(app, home, library);
    }
    std::vector<LeftoverItem> size(std::vector<LeftoverCandidate> candidates) override {
        return inner_->size(std::move(candidates));
    }
    std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                         const std::vector<InstalledApp>& installedApps,
                                         const std::string& home, const std::string& library) override {
        auto marked = inner_->markShared(std::move(items), app, installedApps, home, library);
        --inFlight;
        return marked;
    }
    std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                                const std::vector<InstalledApp>& installedApps) override {
        const auto start = Clock::now();
        auto groups = inner_->findGroups(home, library, installedApps);
        orphanSeconds = secondsSince(start);
        return groups;
    }

    std::atomic<int> inFlight = 0;
    std::atomic<int> mostInFlight = 0;
    std::atomic<double> orphanSeconds = 0;

private:
    std::shared_ptr<DiskApplicationServices> inner_;
};

struct Survey {
    double inventory = 0, attribution = 0, summedRuns = 0, orphans = 0;
    int apps = 0, mostInFlight = 0, groups = 0;
};

bool spinUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(std::chrono::minutes(10));
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::usleep(200);
    }
    return done();
}

std::optional<Survey> survey(const fixture::FixtureDisk& disk, bool linux) {
    const ApplicationRoots roots =
        linux ? ApplicationRoots::onDisk(disk.root(), disk.home(), [](const char*) { return std::nullopt; })
              : ApplicationRoots{.systemRoot = disk.root(), .home = disk.home()};
    ApplicationEnvironment environment{.roots = roots,
                                       .protection = ApplicationEnvironment::protectionFor(roots)};
    auto services =
        std::make_shared<WatchedServices>(std::make_shared<DiskApplicationServices>(std::move(environment)));
    ApplicationsState state(services, {}, disk.home());
    std::optional<Clock::time_point> inventoryEnd;
    bool orphansArrived = false;
    QObject::connect(&state, &ApplicationsState::isInventoryCompleteChanged,
                     [&] { inventoryEnd = Clock::now(); });
    QObject::connect(&state, &ApplicationsState::orphanGroupsChanged, [&] { orphansArrived = true; });
    const auto start = Clock::now();
    state.start();
    if (!spinUntil([&] { return state.isAttributionComplete(); })) return std::nullopt;
    Survey result;
    result.attribution = secondsSince(*inventoryEnd);
    result.inventory = std::chrono::duration<double>(*inventoryEnd - start).count();
    if (!spinUntil([&] { return orphansArrived; })) return std::nullopt;
    for (const auto& [path, attribution] : state.attributions())
        result.summedRuns += attribution.elapsedSeconds;
    result.apps = static_cast<int>(state.apps().size());
    result.mostInFlight = services->mostInFlight;
    result.orphans = services->orphanSeconds;
    result.groups = static_cast<int>(state.orphanGroups().size());
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::optional<std::string> root;
    int runs = 3;
    bool linux = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--linux")
            linux = true;
        else
            root = argument;
    }
    if (!root) root = linux ? "/tmp/quillmere-apps-bench-linux" : "/tmp/quillmere-apps-bench";
    const fixture::FixtureDisk disk(*root,
                                    linux ? std::string(fixture::kLinuxHome) : std::string("Users/ann"));
    if (!std::filesystem::exists(disk.path(linux ? "var/lib/flatpak" : "Applications"))) {
        std::fprintf(stderr, "Writing the scaled fixture to %s...\n", root->c_str());
        if (linux)
            fixture::writeScaledLinuxScenario(disk, 200, 100);
        else
            fixture::writeScaledScenario(disk, 200, 100000);
    }
    std::fprintf(stderr, "Warming the cache...\n");
    if (!survey(disk, linux)) {
        std::fprintf(stderr, "The survey did not finish within ten minutes.\n");
        return 1;
    }
    std::printf("%-4s %6s %12s %14s %16s %10s %12s %8s\n", "run", "apps", "inventory s", "attribution s",
                "runs/attribution", "in flight", "orphans s", "groups");
    for (int run = 1; run <= runs; ++run) {
        const std::optional<Survey> result = survey(disk, linux);
        if (!result) {
            std::fprintf(stderr, "The survey did not finish within ten minutes.\n");
            return 1;
        }
        std::printf("%-4d %6d %12.3f %14.3f %16.1f %10d %12.3f %8d\n", run, result->apps, result->inventory,
                    result->attribution, result->summedRuns / std::max(result->attribution, 1e-9),
                    result->mostInFlight, result->orphans, result->groups);
    }
    return 0;
}
