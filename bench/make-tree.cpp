// Builds a deterministic folder tree shaped like a real disk, to benchmark scans on.
//
//   make-tree DEST [--files N] [--seed S] [--jobs J] [--no-sync]
//
// N counts every entry that is not a folder (regular files, hard links, symbolic links).
// The same N and seed always give the same names, sizes, contents, link structure and
// modification dates, whatever the number of jobs: each job owns a disjoint subtree and
// draws from its own seeded generator.
#include "Rng.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using quillmere::bench::Rng;

uint64_t seedFor(uint64_t seed, uint64_t stream) {
    return Rng(seed * 0x2545f4914f6cdd1dULL + stream).next();
}

struct Counters {
    std::atomic<int64_t> files{0};
    std::atomic<int64_t> hardLinks{0};
    std::atomic<int64_t> symbolicLinks{0};
    std::atomic<int64_t> sparseFiles{0};
    std::atomic<int64_t> folders{0};
    std::atomic<int64_t> bytesWritten{0};

    int64_t entries() const { return files + hardLinks + symbolicLinks; }
};
Counters counters;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "make-tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// File contents are slices of one block of generated text, so every file holds real bytes
// that occupy blocks, without generating text per file.
constexpr size_t kTextSize = 64 * 1024;
std::string text;

void makeText(uint64_t seed) {
    static constexpr std::array kWords{
        "the", "scan", "of",     "int",   "return", "value", "struct", "class",    "void", "for",    "while",
        "if",  "else", "static", "const", "data",   "node",  "size",   "folder",   "file", "bytes",  "{",
        "}",   ";",    "=",      "+",     "(",      ")",     "//",     "#include", "\n",   "\n    ", "\t"};
    Rng rng(seed);
    text.reserve(kTextSize + 16);
    while (text.size() < kTextSize) {
        text += rng.pick(kWords);
        text += ' ';
    }
    text.resize(kTextSize);
}

// Dates between 2019 and 2024, so age analyses see a spread.
timespec dateFrom(Rng& rng) {
    constexpr int64_t kStart = 1704067200; // 2024-01-01
    constexpr int64_t kSpan = 5 * 365 * 86400;
    return timespec{static_cast<time_t>(kStart - static_cast<int64_t>(rng.below(kSpan))), 0};
}

void setDate(int fd, Rng& rng) {
    const timespec date = dateFrom(rng);
    const timespec times[2] = {date, date};
    ::futimens(fd, times);
}

int makeFolder(int parentFd, const std::string& name) {
    if (::mkdirat(parentFd, name.c_str(), 0755) != 0) fail("mkdir " + name);
    const int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail("open " + name);
    ++counters.folders;
    return fd;
}

// A folder's date changes with every entry made in it, so it is set once the folder is full.
void closeFolder(int fd, Rng& rng) {
    setDate(fd, rng);
    ::close(fd);
}

void writeAll(int fd, const char* data, size_t size, const std::string& name) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("write " + name);
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void writeFile(int folderFd, const std::string& name, size_t size, Rng& rng) {
    const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) fail("create " + name);
    writeAll(fd, text.data() + rng.below(kTextSize - size + 1), size, name);
    setDate(fd, rng);
    ::close(fd);
    ++counters.files;
    counters.bytesWritten += static_cast<int64_t>(size);
}

// Mostly under a block or two, as source trees are; a few reach several KiB.
size_t smallFileSize(Rng& rng) {
    const double p = rng.unit();
    if (p < 0.10) return static_cast<size_t>(rng.between(1, 64));
    if (p < 0.70) return static_cast<size_t>(rng.between(65, 2048));
    if (p < 0.98) return static_cast<size_t>(rng.between(2049, 6144));
    return static_cast<size_t>(rng.between(6145, 16384));
}

constexpr std::array kFileStems{"main",    "util",       "parser", "lexer",   "index",  "config",  "README",
                                "LICENSE", "Makefile",   "test",   "helpers", "server", "client",  "model",
                                "view",    "controller", "schema", "types",   "api",    "router",  "handler",
                                "cache",   "logger",     "errors", "format",  "string", "vector",  "thread",
                                "socket",  "buffer",     "image",  "icon",    "style",  "layout",  "package",
                                "build",   "setup",      "notes",  "draft",   "report", "invoice", "chapter"};
constexpr std::array kExtensions{".c",   ".h",   ".cpp", ".hpp",  ".py",   ".js",   ".ts",   ".json",
                                 ".md",  ".txt", ".go",  ".rs",   ".java", ".o",    ".html", ".css",
                                 ".svg", ".png", ".yml", ".toml", ".sh",   ".lock", ""};
constexpr std::array kSpacedStems{"Meeting notes",
                                  "Read me first",
                                  "Copy of budget",
                                  "New Document",
                                  "Screen Shot 2023-04-01 at 10.12.33",
                                  "final version (2)"};
constexpr std::array kUnicodeStems{"café",      "naïve résumé", "Übersicht", "日本語のメモ",
                                   "données",   "Ελληνικά",     "😀 party",   "Smørrebrød",
                                   "ćevapčići", "Привет мир",   "中文 文件"};
constexpr std::array kFolderStems{
    "src",     "lib",       "include",      "test",   "tests",    "docs",       "core",
    "utils",   "internal",  "vendor",       "assets", "build",    "scripts",    "examples",
    "cmd",     "pkg",       "node_modules", "dist",   "fixtures", "components", "modules",
    "plugins", "resources", "third_party",  "tools",  "My Files", "Old Stuff",  "Résumés",
    "Фото",    "音楽",      "Archive 2019"};
constexpr std::array kSymbolicTargets{
    "../README.md", "/usr/lib/x86_64-linux-gnu/libssl.so.3", "..", "missing", "../../include", "/etc/hosts"};

// Unique within its folder: every name carries the entry's index there.
std::string fileName(Rng& rng, int64_t index) {
    const double p = rng.unit();
    if (p < 0.04)
        return std::string(rng.pick(kSpacedStems)) + " " + std::to_string(index) + rng.pick(kExtensions);
    if (p < 0.07)
        return std::string(rng.pick(kUnicodeStems)) + "_" + std::to_string(index) + rng.pick(kExtensions);
    return std::string(rng.pick(kFileStems)) + "_" + std::to_string(index) + rng.pick(kExtensions);
}

std::string folderName(Rng& rng, int index) {
    std::string name = rng.pick(kFolderStems);
    if (index > 0) name.append("-").append(std::to_string(index));
    return name;
}

// A source tree: many small files in many small folders, a few symbolic links, and hard
// links between its own folders (a job links only within its own subtree).
class ProjectBuilder {
public:
    ProjectBuilder(uint64_t seed, int64_t budget) : rng_(seed), remaining_(budget) {}

    void build(int containerFd, const std::string& name) {
        rootFd_ = makeFolder(containerFd, name);
        for (int package = 0; remaining_ > 0; ++package) {
            const std::string packageName = folderName(rng_, package);
            fill(makeFolder(rootFd_, packageName), packageName, 1, static_cast<int>(rng_.between(2, 8)));
        }
        closeFolder(rootFd_, rng_);
    }

private:
    int64_t fileCountForFolder() {
        const double p = rng_.unit();
        if (p < 0.05) return 0;
        if (p < 0.78) return rng_.between(1, 10);
        if (p < 0.97) return rng_.between(11, 40);
        return rng_.between(41, 300);
    }

    void fill(int fd, const std::string& relativePath, int depth, int maxDepth) {
        const int64_t count = std::min(fileCountForFolder(), remaining_);
        remaining_ -= count;
        for (int64_t i = 0; i < count; ++i)
            makeEntry(fd, relativePath, i);
        if (depth < maxDepth) {
            const int64_t subfolders = depth == 1 ? rng_.between(1, 6) : rng_.between(0, 4);
            for (int i = 0; i < subfolders && remaining_ > 0; ++i) {
                const std::string name = folderName(rng_, i);
                fill(makeFolder(fd, name), relativePath + "/" + name, depth + 1, maxDepth);
            }
        }
        closeFolder(fd, rng_);
    }

    void makeEntry(int fd, const std::string& relativePath, int64_t index) {
        const std::string name = fileName(rng_, index);
        if (!linkable_.empty() && rng_.chance(0.01)) {
            if (::linkat(rootFd_, rng_.pick(linkable_).c_str(), fd, name.c_str(), 0) != 0)
                fail("link " + name);
            ++counters.hardLinks;
            return;
        }
        if (rng_.chance(0.002)) {
            if (::symlinkat(rng_.pick(kSymbolicTargets), fd, name.c_str()) != 0) fail("symlink " + name);
            const timespec date = dateFrom(rng_);
            const timespec times[2] = {date, date};
            ::utimensat(fd, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
            ++counters.symbolicLinks;
            return;
        }
        writeFile(fd, name, smallFileSize(rng_), rng_);
        if (rng_.chance(0.02)) {
            std::string path = relativePath + "/" + name;
            if (linkable_.size() < 256)
                linkable_.push_back(std::move(path));
            else
                linkable_[rng_.below(linkable_.size())] = std::move(path);
        }
    }

    Rng rng_;
    int64_t remaining_;
    int rootFd_ = -1;
    std::vector<std::string> linkable_; // paths relative to the project folder
};

enum class CrowdKind { photos, mail, thumbnails };

// One folder with tens of thousands of entries, as photo libraries, mail spools and caches have.
void buildCrowdedFolder(uint64_t seed, int containerFd, const std::string& name, int64_t count,
                        CrowdKind kind) {
    Rng rng(seed);
    const int fd = makeFolder(containerFd, name);
    char entryName[64];
    for (int64_t i = 0; i < count; ++i) {
        switch (kind) {
        case CrowdKind::photos:
            std::snprintf(entryName, sizeof entryName, "IMG_%05lld.JPG", static_cast<long long>(i));
            break;
        case CrowdKind::mail:
            std::snprintf(entryName, sizeof entryName, "msg %06lld from José.eml", static_cast<long long>(i));
            break;
        case CrowdKind::thumbnails:
            std::snprintf(entryName, sizeof entryName, "%016llx%016llx.png",
                          static_cast<unsigned long long>(rng.next()), static_cast<unsigned long long>(i));
            break;
        }
        writeFile(fd, entryName, smallFileSize(rng), rng);
    }
    closeFolder(fd, rng);
}

// A chain of folders, one file at each level; descriptors are handed down so the walk
// never resolves a long path.
void buildChain(uint64_t seed, int containerFd, const std::string& name, int depth) {
    Rng rng(seed);
    int fd = makeFolder(containerFd, name);
    char levelName[32];
    for (int level = 1; level <= depth; ++level) {
        std::snprintf(levelName, sizeof levelName, "note %03d.txt", level);
        writeFile(fd, levelName, smallFileSize(rng), rng);
        if (level == depth) break;
        std::snprintf(levelName, sizeof levelName, "d%03d", level);
        const int child = makeFolder(fd, levelName);
        closeFolder(fd, rng);
        fd = child;
    }
    closeFolder(fd, rng);
}

// Disk images: gigabytes long, a few KiB of them written.
void buildSparseFiles(uint64_t seed, int containerFd, int count) {
    Rng rng(seed);
    const int folder = makeFolder(containerFd, "vm images");
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "disk-%02d.qcow2", i);
        const int fd = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) fail(std::string("create ") + name);
        const off_t length = static_cast<off_t>(rng.between(1, 32)) << 30;
        if (::ftruncate(fd, length) != 0) fail(std::string("truncate ") + name);
        const size_t head = static_cast<size_t>(rng.between(4, 64)) * 1024;
        writeAll(fd, text.data(), head, name);
        if (::pwrite(fd, text.data(), 4096, length / 2) != 4096) fail(std::string("write ") + name);
        setDate(fd, rng);
        ::close(fd);
        ++counters.files;
        ++counters.sparseFiles;
        counters.bytesWritten += static_cast<int64_t>(head) + 4096;
    }
    closeFolder(folder, rng);
}

// Opens (creating as needed) a folder below `baseFd` given by a relative path.
int openFolders(int baseFd, const std::string& relativePath) {
    int fd = baseFd == AT_FDCWD ? ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : ::dup(baseFd);
    if (fd < 0) fail("open " + relativePath);
    size_t start = 0;
    while (start < relativePath.size()) {
        const size_t end = std::min(relativePath.find('/', start), relativePath.size());
        const std::string part = relativePath.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) next = makeFolder(fd, part);
        ::close(fd);
        fd = next;
    }
    return fd;
}

struct Job {
    int64_t cost; // entries it makes, to start the largest first
    std::function<void()> run;
};

void runJobs(std::vector<Job>& jobs, int threadCount) {
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.cost > b.cost; });
    std::atomic<size_t> nextJob{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&] {
            for (size_t i = nextJob++; i < jobs.size(); i = nextJob++)
                jobs[i].run();
        });

    // Progress only on a terminal, so logs stay clean.
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::thread progress([&] {
        if (!::isatty(STDERR_FILENO)) return;
        std::unique_lock guard(lock);
        while (!done.wait_for(guard, std::chrono::seconds(1), [&] { return finished; }))
            std::fprintf(stderr, "\rmake-tree: %lld entries, %lld folders",
                         static_cast<long long>(counters.entries()),
                         static_cast<long long>(counters.folders.load()));
        std::fprintf(stderr, "\n");
    });
    for (std::thread& thread : threads)
        thread.join();
    {
        std::lock_guard guard(lock);
        finished = true;
    }
    done.notify_all();
    progress.join();
}

struct Options {
    std::string destination;
    int64_t files = 1'000'000;
    uint64_t seed = 1;
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    bool sync = true;
};

[[noreturn]] void usage() {
    std::fprintf(stderr, "Usage: make-tree DEST [--files N] [--seed S] [--jobs J] [--no-sync]\n"
                         "Builds a deterministic tree of N non-folder entries (default 1000000) in DEST,\n"
                         "which must be missing or empty.\n");
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (argument == "--files")
            options.files = std::stoll(value());
        else if (argument == "--seed")
            options.seed = std::stoull(value());
        else if (argument == "--jobs")
            options.jobs = std::max(1, std::stoi(value()));
        else if (argument == "--no-sync")
            options.sync = false;
        else if (argument.starts_with("-") || !options.destination.empty())
            usage();
        else
            options.destination = argument;
    }
    if (options.destination.empty() || options.files < 100) usage();
    return options;
}

bool isEmptyFolder(int fd) {
    char buffer[4096];
    const long read = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    // An empty folder lists only "." and "..", which fit one short read.
    if (read < 0) fail("list destination");
    int entries = 0;
    for (long offset = 0; offset < read;) {
        unsigned short length = 0;
        std::memcpy(&length, buffer + offset + 16, sizeof length);
        const char* name = buffer + offset + 19;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ++entries;
        offset += length;
    }
    return entries == 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    makeText(seedFor(options.seed, 0));

    const bool absolute = options.destination.starts_with('/');
    const int baseFd = absolute ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD;
    const int destFd = openFolders(baseFd, options.destination);
    if (!isEmptyFolder(destFd)) {
        std::fprintf(stderr, "make-tree: %s is not empty; remove it first\n", options.destination.c_str());
        return 1;
    }
    counters.folders = 0;

    // The plan: fixed shares for the special shapes, source trees for the rest.
    const int64_t n = options.files;
    const int64_t crowdSize = std::min<int64_t>(50'000, n / 20);
    std::vector<int> chainDepths{200, 300, 400};
    for (int& depth : chainDepths)
        depth = static_cast<int>(std::max<int64_t>(2, std::min<int64_t>(depth, depth * n / 100'000)));
    const int sparseCount = static_cast<int>(std::min<int64_t>(12, n / 1000));
    int64_t sourceBudget = n - 3 * crowdSize - sparseCount;
    for (int depth : chainDepths)
        sourceBudget -= depth;
    if (sourceBudget < 0) {
        std::fprintf(stderr, "make-tree: --files is too small for the tree's shape\n");
        return 2;
    }

    const std::vector<std::string> containerPaths{"home/alice/Projects",
                                                  "home/alice/src/github.com/alice",
                                                  "opt",
                                                  "usr/lib",
                                                  "usr/share",
                                                  "var/lib/packages",
                                                  "home/bob/Documents",
                                                  "home/alice/.cache/pip",
                                                  "home/alice/Library/Application Support"};
    std::vector<std::string> sharedFolderPaths = containerPaths;
    for (const char* path : {"home/alice/Pictures", "var/spool", "home/alice/deep"})
        sharedFolderPaths.emplace_back(path);
    std::vector<int> containers;
    for (const std::string& path : containerPaths)
        containers.push_back(openFolders(destFd, path));
    const int pictures = openFolders(destFd, "home/alice/Pictures");
    const int spool = openFolders(destFd, "var/spool");
    const int thumbnails = openFolders(destFd, "home/alice/.cache");
    const int deep = openFolders(destFd, "home/alice/deep");
    const int images = openFolders(destFd, "var/lib");

    std::vector<Job> jobs;
    uint64_t stream = 1;
    if (crowdSize > 0) {
        const std::array<std::pair<int, const char*>, 3> crowds{
            {{pictures, "Camera Roll"}, {spool, "mail queue"}, {thumbnails, "thumbnails 🖼"}}};
        for (size_t i = 0; i < crowds.size(); ++i) {
            const uint64_t seed = seedFor(options.seed, stream++);
            jobs.push_back({crowdSize, [=] {
                                buildCrowdedFolder(seed, crowds[i].first, crowds[i].second, crowdSize,
                                                   static_cast<CrowdKind>(i));
                            }});
        }
    }
    for (size_t i = 0; i < chainDepths.size(); ++i) {
        const uint64_t seed = seedFor(options.seed, stream++);
        const int depth = chainDepths[i];
        jobs.push_back({depth, [=] { buildChain(seed, deep, "chain-" + std::to_string(i + 1), depth); }});
    }
    if (sparseCount > 0) {
        const uint64_t seed = seedFor(options.seed, stream++);
        jobs.push_back({sparseCount, [=] { buildSparseFiles(seed, images, sparseCount); }});
    }
    // Project sizes spread log-uniformly from a few hundred to tens of thousands of entries.
    static constexpr std::array kProjectNames{"webapp",      "compiler",  "kernel-tools", "photo-sync",
                                              "game engine", "Données",   "notes app",    "ml-pipeline",
                                              "dotfiles",    "linux-src", "café-site",    "クライアント"};
    Rng planner(seedFor(options.seed, stream++));
    for (int project = 0; sourceBudget > 0; ++project) {
        const auto size = static_cast<int64_t>(std::exp(std::log(100.0) + planner.unit() * std::log(400.0)));
        const int64_t budget = std::min(sourceBudget, std::max<int64_t>(size, 1));
        sourceBudget -= budget;
        const uint64_t seed = seedFor(options.seed, stream++);
        const int container = containers[static_cast<size_t>(project) % containers.size()];
        const std::string name = std::string(planner.pick(kProjectNames)) + "-" + std::to_string(project);
        jobs.push_back({budget, [=] { ProjectBuilder(seed, budget).build(container, name); }});
    }

    runJobs(jobs, options.jobs);

    // The shared folders above the jobs' subtrees changed with every job; dated last.
    std::vector<std::string> sharedFolders{"."};
    for (const std::string& path : sharedFolderPaths)
        for (size_t end = path.find('/');; end = path.find('/', end + 1)) {
            sharedFolders.push_back(path.substr(0, end));
            if (end == std::string::npos) break;
        }
    std::sort(sharedFolders.begin(), sharedFolders.end());
    sharedFolders.erase(std::unique(sharedFolders.begin(), sharedFolders.end()), sharedFolders.end());
    Rng dater(seedFor(options.seed, stream++));
    for (const std::string& path : sharedFolders) {
        const timespec date = dateFrom(dater);
        const timespec times[2] = {date, date};
        ::utimensat(destFd, path.c_str(), times, 0);
    }
    const double buildSeconds = secondsSince(start);

    double syncSeconds = 0;
    if (options.sync) {
        // Written data left to background writeback would compete with the benchmark.
        const auto syncStart = std::chrono::steady_clock::now();
        if (::syncfs(destFd) != 0) fail("syncfs");
        syncSeconds = secondsSince(syncStart);
    }

    std::printf("make-tree: built %s (seed %llu) in %.1f s", options.destination.c_str(),
                static_cast<unsigned long long>(options.seed), buildSeconds);
    if (options.sync) std::printf(", flushed to disk in %.1f s", syncSeconds);
    std::printf(
        "\n  entries other than folders: %lld (regular files %lld, of which sparse %lld; hard links %lld; "
        "symbolic links %lld)\n  folders: %lld\n  bytes written: %.2f GiB\n",
        static_cast<long long>(counters.entries()), static_cast<long long>(counters.files.load()),
        static_cast<long long>(counters.sparseFiles.load()),
        static_cast<long long>(counters.hardLinks.load()),
        static_cast<long long>(counters.symbolicLinks.load()),
        static_cast<long long>(counters.folders.load()),
        static_cast<double>(counters.bytesWritten.load()) / (1 << 30));
    return 0;
}
