#include "scan/DiskScanner.hpp"

#include "platform/HostSystem.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/ScanContext.hpp"
#include "scan/SmallItemFolding.hpp"
#include "scan/TaskGroup.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <tbb/global_control.h>
#include <unistd.h>

namespace quillmere {
namespace {

constexpr std::array<std::string_view, 3> kRootSkipNames{".nofollow", ".vol", ".resolve"};

// Process-wide settings for scanning, made once: walkers wait for child walks inside
// task_group::wait, which runs other walks on the same stack, so workers get deep
// stacks; and each walker keeps a few descriptors open, so the soft limit is raised.
void prepareProcessForScanning() {
    static std::once_flag once;
    std::call_once(once, [] {
        static tbb::global_control stack(tbb::global_control::thread_stack_size, 16 * 1024 * 1024);
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
    });
}

// Scan bodies run here; it lives as long as the process, like the scans it starts.
TaskGroup& scanBodies() {
    static auto* group = new TaskGroup;
    return *group;
}

std::vector<std::string> listRoot(platform::ScanHost& host, int fd) {
    std::vector<std::string> names;
    if (fd < 0) return names;
    std::unique_ptr<char[]> buffer(new char[64 * 1024]);
    while (true) {
        const long read = host.readEntries(fd, buffer.get(), 64 * 1024);
        if (read <= 0) break;
        for (long offset = 0; offset < read;) {
            const char* record = buffer.get() + offset;
            unsigned short length = 0;
            std::memcpy(&length, record + 16, sizeof length);
            offset += length;
            const std::string_view name(record + 19);
            if (name == "." || name == "..") continue;
            if (std::find(kRootSkipNames.begin(), kRootSkipNames.end(), name) != kRootSkipNames.end())
                continue;
            names.emplace_back(name);
        }
    }
    return names;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One entry of the scanned root, in its own task.
std::optional<FileNode> scanRootEntry(ScanContext& context, int rootFd, const FolderPath& rootPath,
                                      const std::string& name) {
    if (context.isCancelled()) return std::nullopt;
    const std::string path = appendingPathComponent(context.rootPath, name);
    if (context.recordsPrivacyProtectedAsDenied && isPrivacyProtectedPath(path, context.homeDirectory)) {
        context.accumulator.appendDeniedPath(makeDeniedPath(path));
        return std::nullopt;
    }
    struct stat info {};
    if (context.host.statAt(rootFd, name.c_str(), &info) != 0) {
        if (errno != ENOENT) context.accumulator.appendDeniedPath(DeniedPath{path, context.rootPath, 0});
        return std::nullopt;
    }
    const std::optional<Date> date = modificationDateOf(info);
    if (S_ISDIR(info.st_mode)) {
        const auto childless = [&] {
            return FileNode::under(
                rootPath, name, NodeFields{.isDirectory = true, .folderCount = 1, .modificationDate = date});
        };
        const std::string standardized = standardizedPath(path);
        if (info.st_dev != context.rootDevice || standardized == context.dataVolumePath ||
            context.duplicateViews.contains(standardized))
            return childless();
        const int fd = context.host.openDirectoryAt(rootFd, name.c_str());
        if (fd < 0) {
            if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
            context.accumulator.appendDeniedPath(
                DeniedPath{path, context.rootPath, static_cast<int64_t>(info.st_blocks) * 512});
            return childless();
        }
        return walkDirectory(context, fd, rootPath.child(name), name, date, name);
    }
    auto pathOfLeaf = [&] { return path; };
    const bool underCloud =
        path.starts_with(context.cloudPrefixes[0]) || path.starts_with(context.cloudPrefixes[1]);
    const LeafFacts leaf = sizeLeaf(context, rootFd, name.c_str(), info, underCloud, pathOfLeaf);
    const bool excluded = leaf.isSharedElsewhere || leaf.isCloudOnly;
    context.accumulator.record(excluded ? 0 : leaf.allocatedSize, 1, name, path);
    return FileNode::under(rootPath, name,
                           NodeFields{.isSymbolicLink = leaf.isSymbolicLink,
                                      .allocatedSize = leaf.allocatedSize,
                                      .isSharedElsewhere = leaf.isSharedElsewhere,
                                      .isCloudOnly = leaf.isCloudOnly,
                                      .cloudOnlyCount = leaf.isCloudOnly ? 1 : 0,
                                      .fileCount = 1,
                                      .sharedBytesTotal = leaf.isSharedElsewhere ? leaf.allocatedSize : 0,
                                      .modificationDate = date});
}

struct ScanRequest {
    std::string root;
    std::shared_ptr<ScanCancellation> cancellation;
    bool hasFullDiskAccess;
    std::string homeDirectory;
    int progressBatchSize;
};

// Mount points below the root that show the root's file system a second time (bind mounts),
// in the spelling the walk builds its paths with: the mount table names real paths, while
// the root may be given through a symbolic link or with a trailing "/".
std::unordered_set<std::string> duplicateViewsBelow(platform::ScanHost& host, const std::string& root,
                                                    dev_t rootDevice) {
    std::unordered_set<std::string> views;
    const std::string realRoot = FileNode::canonicalPath(root);
    const std::string prefix = folderPrefix(realRoot);
    for (const std::string& mountPoint : host.mountPoints()) {
        if (!mountPoint.starts_with(prefix) || mountPoint == realRoot) continue;
        struct stat info {};
        if (host.statAt(AT_FDCWD, mountPoint.c_str(), &info) == 0 && info.st_dev == rootDevice)
            views.insert(standardizedPath(appendingPathComponent(root, mountPoint.substr(prefix.size()))));
    }
    return views;
}

// The whole scan. Yields its events into `channel` and also returns the result.
std::optional<DiskScanResult> runScan(const ScanRequest& request, platform::ScanHost& host,
                                      const std::shared_ptr<ScanEventChannel>& channel) {
    const auto start = std::chrono::steady_clock::now();
    // Like a file URL made from a path, a relative root is taken from the working folder.
    const std::string rootPath = fileURLPath(
        request.root.starts_with('/') ? request.root
                                      : appendingPathComponent(platform::currentDirectory(), request.root));
    ScanContext context{.host = host,
                        .accumulator = ScanAccumulator(channel, request.progressBatchSize),
                        .sharing = {},
                        .budget = ConcurrencyBudget(ConcurrencyBudget::unitsFor(host.activeProcessorCount())),
                        .cancellation = request.cancellation,
                        .progressBatchSize = std::max(request.progressBatchSize, 1),
                        .rootPath = rootPath,
                        .homeDirectory = request.homeDirectory,
                        .recordsPrivacyProtectedAsDenied = !request.hasFullDiskAccess};
    const FolderPath rootFolder = FolderPath::root(rootPath);

    if (context.recordsPrivacyProtectedAsDenied && isPrivacyProtectedPath(rootPath, request.homeDirectory)) {
        DeniedPath denied = makeDeniedPath(rootPath);
        const int64_t estimate = denied.estimatedBytes;
        DiskScanResult result{
            FileNode::at(rootFolder, rootPath, NodeFields{.isDirectory = true, .folderCount = 1}),
            {std::move(denied)},
            estimate,
            secondsSince(start)};
        channel->yield(result);
        channel->finish();
        return result;
    }

    struct stat rootInfo {};
    if (host.statAt(AT_FDCWD, rootPath.c_str(), &rootInfo) != 0) {
        channel->finish();
        return std::nullopt;
    }
    context.rootDevice = rootInfo.st_dev;
    context.dataVolumePath = standardizedPath(appendingPathComponent(rootPath, "System/Volumes/Data"));
    context.duplicateViews = duplicateViewsBelow(host, rootPath, rootInfo.st_dev);
    context.cloudPrefixes[0] =
        folderPrefix(appendingPathComponent(request.homeDirectory, "Library/Mobile Documents"));
    context.cloudPrefixes[1] =
        folderPrefix(appendingPathComponent(request.homeDirectory, "Library/CloudStorage"));

    // The root itself may be reached through a symbolic link, unlike anything below it.
    const int rootFd = ::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::vector<std::string> names = listRoot(host, rootFd);
    // Root entries report in completion order; a plain locked list keeps every allocation
    // visible to the sanitizers (oneTBB's allocator is not instrumented).
    std::mutex completedLock;
    std::vector<FileNode> completed;
    {
        TaskGroup entries;
        for (const std::string& name : names) {
            if (context.isCancelled()) break;
            entries.run([&context, &completed, &completedLock, &rootFolder, &name, rootFd] {
                if (auto node = scanRootEntry(context, rootFd, rootFolder, name)) {
                    std::lock_guard guard(completedLock);
                    completed.push_back(std::move(*node));
                }
            });
        }
        entries.wait();
    }
    if (rootFd >= 0) ::close(rootFd);

    std::vector<FileNode> children = foldSmallChildren(std::move(completed), rootPath);
    DiskScanResult result;
    result.root = FileNode::folder(rootFolder, rootPath, modificationDateOf(rootInfo), std::move(children));
    result.deniedPaths = context.accumulator.deniedPaths();
    for (const DeniedPath& denied : result.deniedPaths)
        result.deniedBytesEstimate += denied.estimatedBytes;
    result.elapsedSeconds = secondsSince(start);
    channel->yield(result);
    channel->finish();
    return result;
}

} // namespace

DiskScanner::DiskScanner(int progressBatchSize, platform::ScanHost& host)
    : progressBatchSize_(std::max(progressBatchSize, 1)), host_(host) {
    prepareProcessForScanning();
}

ScanEventStream DiskScanner::scan(const std::string& root, std::shared_ptr<ScanCancellation> cancellation,
                                  bool hasFullDiskAccess, const std::string& homeDirectory) const {
    auto channel = std::make_shared<ScanEventChannel>();
    ScanRequest request{root, std::move(cancellation), hasFullDiskAccess, homeDirectory, progressBatchSize_};
    scanBodies().run(
        [request = std::move(request), channel, &host = host_] { runScan(request, host, channel); });
    return ScanEventStream(channel);
}

std::optional<DiskScanResult> DiskScanner::scanToEnd(const std::string& root, bool hasFullDiskAccess,
                                                     const std::string& homeDirectory,
                                                     std::shared_ptr<ScanCancellation> cancellation) const {
    // Nobody reads the events of a scan run to its end, so its channel starts closed.
    auto channel = std::make_shared<ScanEventChannel>();
    channel->terminate();
    ScanRequest request{root, std::move(cancellation), hasFullDiskAccess, homeDirectory, progressBatchSize_};
    return runScan(request, host_, channel);
}

} // namespace quillmere
