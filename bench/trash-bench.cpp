// Measures moving a large folder to the Trash, directorysizes record included, against a bare
// walk of the same folder.
//
//   trash-bench WORKDIR [--files N] [--runs R]
//
// Each run builds WORKDIR/run-K/folder with N small files in folders of 100 (not timed), warms
// the cache with one bare walk, times bare walks on 1 and 8 threads, then times the Trash move
// into a home Trash at WORKDIR/data. The moved folder is removed afterwards.
#include "BareWalk.hpp"
#include "platform/Mounts.hpp"
#include "platform/Trash.hpp"

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

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool buildFolder(const std::string& folder, int files) {
    if (::mkdir(folder.c_str(), 0755) != 0) return false;
    const std::string content(700, 'q');
    for (int i = 0; i < files; ++i) {
        const std::string sub = folder + "/d" + std::to_string(i / 100);
        if (i % 100 == 0 && ::mkdir(sub.c_str(), 0755) != 0) return false;
        const std::string path = sub + "/file " + std::to_string(i) + ".txt";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        ::close(fd);
        if (!ok) return false;
    }
    ::sync();
    return true;
}

struct Figures {
    std::vector<double> times;
    double best() const { return *std::min_element(times.begin(), times.end()); }
    double median() const {
        std::vector<double> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: trash-bench WORKDIR [--files N] [--runs R]\n");
        return 2;
    }
    const std::string work = argv[1];
    int files = 100000;
    int runs = 5;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--files")
            files = std::atoi(argv[i + 1]);
        else if (option == "--runs")
            runs = std::atoi(argv[i + 1]);
    }
    if (files < 100 || runs < 1) return 2;
    ::mkdir(work.c_str(), 0755);
    const quillmere::platform::Trash trash(
        {.dataHome = work + "/data",
         .uid = ::geteuid(),
         .mounts = [] { return quillmere::platform::mountTable(quillmere::platform::MountHost::system()); },
         .now = [] { return std::time(nullptr); }});
    Figures single, parallel, move;
    for (int run = 0; run < runs; ++run) {
        const std::string parent = work + "/run-" + std::to_string(run);
        const std::string folder = parent + "/folder";
        std::system(("rm -rf '" + parent + "' '" + work + "/data'").c_str());
        if (::mkdir(parent.c_str(), 0755) != 0 || !buildFolder(folder, files)) {
            std::fprintf(stderr, "could not build %s\n", folder.c_str());
            return 1;
        }
        quillmere::bench::bareWalk(folder, 8); // warm the cache
        auto start = Clock::now();
        const auto totals = quillmere::bench::bareWalk(folder, 1);
        single.times.push_back(secondsSince(start));
        start = Clock::now();
        quillmere::bench::bareWalk(folder, 8);
        parallel.times.push_back(secondsSince(start));
        start = Clock::now();
        const auto moved = trash.moveToTrash(parent, "folder", std::nullopt);
        move.times.push_back(secondsSince(start));
        if (!moved) {
            std::fprintf(stderr, "move failed: %s\n", moved.error().description().c_str());
            return 1;
        }
        std::fprintf(stderr, "run %d: %lld files, %lld folders, %lld bytes\n", run + 1,
                     static_cast<long long>(totals.files), static_cast<long long>(totals.folders),
                     static_cast<long long>(totals.allocatedBytes));
        std::system(("rm -rf '" + parent + "' '" + work + "/data'").c_str());
    }
    std::printf("%-28s %10s %10s\n", "", "best s", "median s");
    std::printf("%-28s %10.4f %10.4f\n", "bare walk, 1 thread", single.best(), single.median());
    std::printf("%-28s %10.4f %10.4f\n", "bare walk, 8 threads", parallel.best(), parallel.median());
    std::printf("%-28s %10.4f %10.4f\n", "Trash move + directorysizes", move.best(), move.median());
    std::printf("move / bare walk (1 thread):  %.2f×\n", move.median() / single.median());
    std::printf("move / bare walk (8 threads): %.2f×  [target ≤ 1.5×]\n", move.median() / parallel.median());
    return 0;
}
