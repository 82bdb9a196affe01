// Measures the System Data probe on a folder laid out as a volume with a home folder:
// what the probe adds to a finished scan when it is given the scan's tree, and how its own
// folder walks compare with the scan engine over the same folders when it is not.
//
//   systemdata-bench VOLUME [--home RELATIVE] [--runs N]
//
// VOLUME stands for "/"; the home folder is VOLUME/home/ann unless --home says otherwise. The
// snapshot tools are stubbed: they answer at once with nothing, so only the probe's own work
// is timed. Everything runs warm: one untimed round first, then N timed ones (default 5).
#include "base/PathText.hpp"
#include "scan/DiskScanner.hpp"
#include "systemdata/SystemDataProbe.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace quillmere;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Body> double timed(Body&& body) {
    const auto start = Clock::now();
    body();
    return secondsSince(start);
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: systemdata-bench VOLUME [--home RELATIVE] [--runs N]\n");
        return 2;
    }
    const std::string volume = FileNode::canonicalPath(argv[1]);
    std::string homeRelative = "home/ann";
    int runs = 5;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--home")
            homeRelative = argv[i + 1];
        else if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::string home = appendingPathComponent(volume, homeRelative);
    if (!isFolder(home)) {
        std::fprintf(stderr, "%s is not a folder\n", home.c_str());
        return 2;
    }

    const SystemDataLocations locations = SystemDataLocations::make(
        volume, home, [](const char*) -> std::optional<std::string> { return std::nullopt; }, {},
        [](const std::string&) { return false; });
    SystemDataProbeServices services = SystemDataProbeServices::system();
    services.runCommand = [](const std::string&, const std::vector<std::string>&, double) {
        return CommandResult{"", "", 0};
    };
    const SystemDataProbe probe(locations, services);

    // The folders a probe without a tree walks, when they exist.
    std::vector<std::string> walked;
    for (const std::string& folder :
         {locations.userCaches, locations.systemCaches, locations.deviceBackups, locations.derivedData})
        if (isFolder(folder)) walked.push_back(folder);
    for (const std::string& folder : locations.mailFolders)
        if (isFolder(folder)) walked.push_back(folder);

    const DiskScanner scanner;
    std::vector<double> scanTimes, treeProbeTimes, walkProbeTimes, engineTimes;
    SystemDataReport withTree, withoutTree;
    for (int round = 0; round <= runs; ++round) {
        std::optional<DiskScanResult> scan;
        const double scanTime = timed([&] { scan = scanner.scanToEnd(volume, true, home); });
        if (!scan) {
            std::fprintf(stderr, "the scan of %s failed\n", volume.c_str());
            return 1;
        }
        const double treeTime = timed([&] {
            withTree = probe.probe(scan->root.allocatedSize(), std::nullopt, scan->root, scan->deniedPaths);
        });
        scan.reset();
        const double walkTime =
            timed([&] { withoutTree = probe.probe(std::nullopt, std::nullopt, std::nullopt, {}); });
        const double engineTime = timed([&] {
            for (const std::string& folder : walked)
                (void)scanner.scanToEnd(folder, true, home);
        });
        if (round == 0) continue; // warm-up
        scanTimes.push_back(scanTime);
        treeProbeTimes.push_back(treeTime);
        walkProbeTimes.push_back(walkTime);
        engineTimes.push_back(engineTime);
        std::fprintf(stderr,
                     "round %d: scan %.3f s, probe with tree %.4f s, probe alone %.3f s, engine %.3f s\n",
                     round, scanTime, treeTime, walkTime, engineTime);
    }

    const double scanMedian = median(scanTimes);
    const double treeMedian = median(treeProbeTimes);
    const double walkMedian = median(walkProbeTimes);
    const double engineMedian = median(engineTimes);
    std::printf("volume %s, home %s, %d runs (medians)\n", volume.c_str(), home.c_str(), runs);
    std::printf("  walked folders without a tree: %zu\n", walked.size());
    std::printf("  user caches: %lld bytes with the tree, %lld walked\n",
                static_cast<long long>(withTree.categories[4].sizeBytes),
                static_cast<long long>(withoutTree.categories[4].sizeBytes));
    std::printf("  scan                     %8.3f s\n", scanMedian);
    std::printf("  probe given the tree     %8.4f s  = %.2f%% of the scan   [target <= 2%%]\n", treeMedian,
                100 * treeMedian / scanMedian);
    std::printf("  probe without a tree     %8.3f s\n", walkMedian);
    std::printf("  engine over those folders%8.3f s  -> probe walks %.2fx the engine   [target <= 1.2x]\n",
                engineMedian, engineMedian > 0 ? walkMedian / engineMedian : 0.0);
    return 0;
}
