// Times one removal run of many items through the Reclaimer: N folders (one small file each)
// against N plain files, each run into a fresh home Trash, so the cost of keeping the Trash's
// directorysizes cache shows against the Trash moves themselves.
//
//   reclaim-bench WORKDIR [--items N] [--runs R]
//
// Building the items is not timed; the Trash is removed after every run.
#include "platform/Mounts.hpp"
#include "systemdata/Reclaimer.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillmere;
using Clock = std::chrono::steady_clock;

bool writeSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string content(700, 'q');
    const bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    return ok;
}

// N items in `folder`: folders holding one file each, or plain files.
std::vector<FileNode> buildItems(const std::string& folder, int count, bool asFolders) {
    std::vector<FileNode> nodes;
    ::mkdir(folder.c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        const std::string name = "item " + std::to_string(i);
        const std::string path = folder + "/" + name;
        bool ok = false;
        if (asFolders)
            ok = ::mkdir(path.c_str(), 0755) == 0 && writeSmallFile(path + "/inside.txt");
        else
            ok = writeSmallFile(path);
        if (!ok) return {};
        nodes.emplace_back(name, path, asFolders, false, 4096, false, false, 0, false, asFolders ? 1 : 0,
                           asFolders ? 1 : 0, 0, std::nullopt, std::vector<FileNode>{});
    }
    ::sync();
    return nodes;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: reclaim-bench WORKDIR [--items N] [--runs R]\n");
        return 2;
    }
    const std::string work = argv[1];
    int items = 5000;
    int runs = 3;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--items")
            items = std::atoi(argv[i + 1]);
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
    }
    if (items < 1 || runs < 1) return 2;
    ::mkdir(work.c_str(), 0755);
    char* real = ::realpath(work.c_str(), nullptr);
    if (!real) return 1;
    const std::string root = real;
    std::free(real);

    std::vector<double> folderTimes, fileTimes;
    for (int run = 0; run < runs; ++run) {
        for (const bool asFolders : {true, false}) {
            std::system(("rm -rf '" + root + "/items' '" + root + "/data'").c_str());
            const std::vector<FileNode> nodes = buildItems(root + "/items", items, asFolders);
            if (nodes.empty()) {
                std::fprintf(stderr, "could not build the items in %s\n", root.c_str());
                return 1;
            }
            ReclaimerServices services = ReclaimerServices::current();
            services.files = std::make_shared<TrashFileOperations>(platform::TrashSettings{
                .dataHome = root + "/data",
                .uid = ::geteuid(),
                .mounts = [] { return platform::mountTable(platform::MountHost::system()); },
                .now = [] { return std::time(nullptr); }});
            const Reclaimer reclaimer(std::move(services));
            const auto start = Clock::now();
            const Reclaimer::Outcome outcome = reclaimer.reclaim(nodes, {});
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            (asFolders ? folderTimes : fileTimes).push_back(seconds);
            std::fprintf(stderr, "run %d, %s: %zu moved, %zu failed, %.3f s\n", run + 1,
                         asFolders ? "folders" : "files", outcome.succeeded.size(), outcome.failures.size(),
                         seconds);
            if (!outcome.failures.empty()) {
                std::fprintf(stderr, "first failure: %s\n", outcome.failures.front().reason.c_str());
                return 1;
            }
        }
    }
    std::system(("rm -rf '" + root + "/items' '" + root + "/data'").c_str());
    std::printf("%-30s %10s %10s\n", "", "best s", "median s");
    std::printf("%-30s %10.3f %10.3f\n", (std::to_string(items) + " folders, one run").c_str(),
                *std::min_element(folderTimes.begin(), folderTimes.end()), median(folderTimes));
    std::printf("%-30s %10.3f %10.3f\n", (std::to_string(items) + " files, one run").c_str(),
                *std::min_element(fileTimes.begin(), fileTimes.end()), median(fileTimes));
    std::printf("folders / files: %.2f×\n", median(folderTimes) / median(fileTimes));
    return 0;
}
