#include "scan/DiskScanner.hpp"

#include "base/Format.hpp"
#include "base/FunctionRef.hpp"
#include "platform/Descriptors.hpp"
#include "platform/DirectoryEntries.hpp"
#include "platform/DiskUsage.hpp"
#include "platform/HostSystem.hpp"
#include "platform/Thread.hpp"
#include "scan/LaneQueue.hpp"
#include "scan/LinkedBytes.hpp"
#include "scan/NodeArena.hpp"
#include "scan/PackedNames.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/ScanContext.hpp"
#include "scan/SmallItemFolding.hpp"
#include "scan/TaskGroup.hpp"
#include "scan/WalkDescriptors.hpp"
#include "scan/WalkFrame.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <span>
#include <unistd.h>

namespace quillmere {
namespace {

constexpr std::array<std::string_view, 3> kRootSkipNames{".nofollow", ".vol", ".resolve"};

// Process-wide settings for scanning, made once: each walker keeps a few descriptors open,
// so the soft limit is raised.
void prepareProcessForScanning() {
    static std::once_flag once;
    std::call_once(once, [] { platform::raiseDescriptorLimit(); });
}

constexpr size_t kBodyStackBytes = 16 * 1024 * 1024;
constexpr size_t kRootListingBufferSize = 64 * 1024;
// The root's entries are walked in runs as they are read: one entry a run until this many are
// listed, then a run one entry longer for each this many more. However wide the root, its runs
// then stay fewer than this many times the logarithm of its width.
constexpr size_t kRootRunStep = 128;
// The most runs walked at once, as the descriptor plan allows; the others wait in line.
constexpr size_t kMostRootRuns = 2048;

// The names in the root folder, without the ones a scan never enters, handed to `take` a read at
// a time, so that walks of the first begin while the rest are read. A read failure after some
// names were read leaves the root denied, with those names kept. Other file systems' mount
// points go to `take` apart, by name, never to be touched.
void listRoot(ScanContext& context, int fd,
              FunctionRef<void(PackedNames&& names, std::vector<std::string>&& foreign)> take) {
    if (fd < 0) return;
    std::unique_ptr<char[]> buffer(new char[kRootListingBufferSize]);
    while (!context.isCancelled()) {
        const long read = context.host.readEntries(fd, buffer.get(), kRootListingBufferSize);
        if (read < 0) {
            const int error = errno;
            // A denied root's own blocks are its estimate, not part of what the walk counted.
            struct stat info {};
            if (context.host.statDescriptor(fd, &info) == 0)
                context.folderBytes -= platform::allocatedBytesOf(info);
            if (error != ENOENT) context.accumulator.appendDeniedPath(context.deniedPath(context.rootPath));
        }
        if (read <= 0) break;
        PackedNames names;
        std::vector<std::string> foreign;
        platform::forEachDirectoryEntry(
            buffer.get(), static_cast<size_t>(read), [&](std::string_view name, unsigned char type) {
                if (std::find(kRootSkipNames.begin(), kRootSkipNames.end(), name) != kRootSkipNames.end())
                    return;
                if (context.foreignRootNames.contains(std::string(name)) &&
                    context.isForeignMount(standardizedPath(appendingPathComponent(context.rootPath, name)),
                                           type)) {
                    foreign.emplace_back(name);
                    return;
                }
                (void)names.append(name);
            });
        take(std::move(names), std::move(foreign));
    }
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the leaves of one run of root entries counted, reported together: a root of many
// thousands of files costs one accumulator call per run, not one per file.
struct RootLeafCounts {
    std::vector<std::pair<std::string_view, int64_t>> topLevel; // names from the root listing
    int64_t bytes = 0;
};

// The root's entries as they are built: folders arrive from whichever walk ends last.
struct RootEntries {
    std::mutex lock;
    std::vector<FileNode> nodes;

    void add(FileNode node) {
        std::lock_guard guard(lock);
        nodes.push_back(std::move(node));
    }
    void add(std::vector<FileNode>& more) {
        std::lock_guard guard(lock);
        nodes.insert(nodes.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
};

// One entry of the scanned root: a folder goes to `entries` once its walk is over, anything
// else is returned.
std::optional<FileNode> scanRootEntry(ScanContext& context, int rootFd, const FolderPath& rootPath,
                                      const char* nameText, RootLeafCounts& leaves, RootEntries& entries) {
    const std::string_view name(nameText);
    if (context.isCancelled()) return std::nullopt;
    // Built only where a path is reported or checked: a root may hold millions of leaves.
    auto pathOf = [&] { return appendingPathComponent(context.rootPath, name); };
    if (context.recordsPrivacyProtectedAsDenied && isPrivacyProtectedPath(pathOf(), context.homeDirectory)) {
        const std::string path = pathOf();
        context.accumulator.appendDeniedPath(context.deniedPath(path));
        return std::nullopt;
    }
    struct stat info {};
    if (context.host.statAt(rootFd, nameText, &info) != 0) {
        if (errno != ENOENT) context.accumulator.appendDeniedPath(DeniedPath{pathOf(), context.rootPath, 0});
        return std::nullopt;
    }
    const std::optional<Date> date = modificationDateOf(info);
    if (S_ISDIR(info.st_mode)) {
        const std::string path = pathOf();
        const auto childless = [&] {
            return FileNode::under(
                rootPath, name, NodeFields{.isDirectory = true, .folderCount = 1, .modificationDate = date});
        };
        if (info.st_dev != context.rootDevice || context.isDuplicateView(standardizedPath(path)))
            return childless();
        auto nothingToShed = [] {};
        platform::Fd fd = openFolderWaiting(context, rootFd, nameText, nothingToShed);
        if (!fd) {
            if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
            if (platform::isDescriptorShortage(errno) && context.isCancelled()) return childless();
            context.accumulator.appendDeniedPath(
                DeniedPath{path, context.rootPath, platform::allocatedBytesOf(info)});
            return childless();
        }
        context.folderBytes.fetch_add(platform::allocatedBytesOf(info), std::memory_order_relaxed);
        const std::string topLevelName(name);
        // A walk that could not build even its own folder still leaves the folder in place.
        NodeSink sink{.top = [&entries, fallback = childless()](std::optional<FileNode> node, bool) {
            try {
                entries.add(node ? std::move(*node) : fallback);
            } catch (...) {
                // What this entry built is lost; the scan still ends with the rest.
            }
        }};
        walkDirectory(context, std::move(fd), rootPath.child(name), name, date, context.placementOf(path),
                      topLevelName, std::move(sink));
        return std::nullopt;
    }
    // A leaf of the root lies under a cloud folder exactly when the root itself does.
    const LeafFacts leaf =
        sizeLeaf(context, rootFd, nameText, info, context.rootPlacement.underCloudFolder, pathOf);
    leaves.topLevel.emplace_back(name, leaf.progressBytes);
    leaves.bytes += leaf.progressBytes;
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

// Entries [first, last) of one read of the root's names.
struct RootRun {
    const PackedNames* names = nullptr;
    size_t first = 0;
    size_t last = 0;
};

// Walks one run of root entries: leaves are reported together, folders go to `completed`.
void walkRootRun(ScanContext& context, int rootFd, const FolderPath& rootFolder, const RootRun& run,
                 RootEntries& completed) noexcept {
    const detail::NodeArenaScope arena;
    std::vector<FileNode> nodes;
    RootLeafCounts leaves;
    for (size_t index = run.first; index < run.last; ++index) {
        const char* name = run.names->name(index);
        try {
            if (auto node = scanRootEntry(context, rootFd, rootFolder, name, leaves, completed))
                nodes.push_back(std::move(*node));
        } catch (...) {
            try {
                context.accumulator.appendDeniedPath(
                    context.deniedPath(appendingPathComponent(context.rootPath, name)));
            } catch (...) {
            }
        }
    }
    try {
        auto lastPath = [&] {
            return appendingPathComponent(context.rootPath, leaves.topLevel.back().first);
        };
        if (!leaves.topLevel.empty())
            context.accumulator.recordTopLevel(leaves.bytes, leaves.topLevel, lastPath);
        completed.add(nodes);
    } catch (...) {
        // What this run built is lost; the scan still ends with the rest.
    }
}

struct ScanRequest {
    std::string root;
    std::shared_ptr<ScanCancellation> cancellation;
    bool hasFullDiskAccess;
    std::string homeDirectory;
    int progressBatchSize;
};

// The mount points below the root, in the spelling the walk builds its paths with: the mount
// table names real paths, while the root may be given through a symbolic link or with a
// trailing "/". The table alone tells them apart, so a file system that stopped answering is
// never asked anything:
// - a mount of another file system (another device in the table than the root's) is never
//   crossed, and the walk records it without touching it;
// - a mount of the root's own file system is a second view only when the folder it shows
//   (mountinfo's root field) lies inside the scanned tree; a bind of a folder from elsewhere
//   holds bytes the walk meets nowhere else, so it is walked, as du -x counts it. Only these,
//   on the very file system being walked, are examined, for their device.
void learnMountsBelow(ScanContext& context, const std::string& root, dev_t rootDevice) {
    platform::ScanHost& host = context.host;
    const std::string realRoot = FileNode::canonicalPath(root);
    const std::string prefix = folderPrefix(realRoot);
    const std::vector<platform::MountEntry> mounts = platform::visibleMounts(host.mounts());
    const std::optional<platform::MountEntry> holder = platform::mountContaining(mounts, realRoot);
    // Where the scanned tree lies inside its file system, when the table says.
    std::optional<std::string> treeInFileSystem;
    if (holder) {
        const std::string_view below =
            std::string_view(realRoot).substr(std::min(realRoot.size(), holder->mountPoint.size()));
        treeInFileSystem = standardizedPath(appendingPathComponent(holder->root, below));
    }
    for (const platform::MountEntry& mount : mounts) {
        if (!mount.mountPoint.starts_with(prefix) || mount.mountPoint == realRoot) continue;
        const std::string_view relative = std::string_view(mount.mountPoint).substr(prefix.size());
        const std::string inWalk = standardizedPath(appendingPathComponent(root, relative));
        if (holder && (mount.major != holder->major || mount.minor != holder->minor)) {
            context.foreignMounts.insert(inWalk);
            if (relative.find('/') == std::string_view::npos) context.foreignRootNames.emplace(relative);
            continue;
        }
        struct stat info {};
        if (host.statAt(AT_FDCWD, mount.mountPoint.c_str(), &info) != 0 || info.st_dev != rootDevice)
            continue;
        if (treeInFileSystem) {
            const std::string source = standardizedPath(mount.root);
            if (source != *treeInFileSystem && !source.starts_with(folderPrefix(*treeInFileSystem))) continue;
        }
        context.duplicateViews.insert(inWalk);
    }
}

std::vector<std::string> watchedPrefixesOf(const ScanContext& context) {
    std::vector<std::string> watched;
    for (const std::string& view : context.duplicateViews)
        watched.push_back(folderPrefix(view));
    for (const std::string& mount : context.foreignMounts)
        watched.push_back(folderPrefix(mount));
    watched.push_back(folderPrefix(context.dataVolumePath));
    if (context.recordsPrivacyProtectedAsDenied)
        for (const std::string& folder : privacyProtectedFolders(context.homeDirectory))
            watched.push_back(folderPrefix(folder));
    return watched;
}

// The result of a scan that ended, however it ended: the root with what was built.
DiskScanResult resultOf(ScanContext& context, const FolderPath& rootFolder, std::optional<Date> rootDate,
                        std::vector<FileNode> completed, std::chrono::steady_clock::time_point start) {
    DiskScanResult result;
    result.deniedPaths = context.accumulator.deniedPaths();
    // Entries of the root that are or hold a denied path stay unfolded, as walkers keep theirs.
    std::unordered_set<std::string> holdingDenied;
    const std::string prefix = folderPrefix(context.rootPath);
    for (const DeniedPath& denied : result.deniedPaths)
        if (denied.url.starts_with(prefix) && denied.url.size() > prefix.size())
            holdingDenied.insert(
                denied.url.substr(prefix.size(), denied.url.find('/', prefix.size()) - prefix.size()));
    std::vector<FileNode> children =
        foldSmallChildren(std::move(completed), context.rootPath, [&](const FileNode& child) {
            return holdingDenied.contains(std::string(child.name()));
        });
    result.root =
        withLinkedBytesOwned(FileNode::folder(rootFolder, context.rootPath, rootDate, std::move(children)),
                             context.sharing.takeLinkOwners());
    for (const DeniedPath& denied : result.deniedPaths)
        result.deniedBytesEstimate += denied.estimatedBytes;
    result.folderBytes = context.folderBytes.load();
    result.isComplete = !context.isCancelled();
    result.elapsedSeconds = secondsSince(start);
    return result;
}

std::optional<DiskScanResult> runScanBody(const ScanRequest& request, platform::ScanHost& host,
                                          const std::shared_ptr<ScanEventChannel>& channel) {
    const auto start = std::chrono::steady_clock::now();
    // Like a file URL made from a path, a relative root is taken from the working folder.
    const std::string rootPath = fileURLPath(
        request.root.starts_with('/') ? request.root
                                      : appendingPathComponent(platform::currentDirectory(), request.root));
    // Sized from the descriptor limit in force, so that a low limit slows the walk down
    // instead of making folders it could not open look denied.
    const DescriptorPlan plan = planDescriptors(platform::descriptorLimit(), platform::openDescriptorCount(),
                                                host.activeProcessorCount(), kMostRootRuns);
    ScanContext context{.host = host,
                        .accumulator = ScanAccumulator(channel, request.progressBatchSize),
                        .sharing = {},
                        .budget = ConcurrencyBudget(plan.childWalks),
                        .cancellation = request.cancellation,
                        .progressBatchSize = std::max(request.progressBatchSize, 1),
                        .openFramesPerWalker = plan.framesPerWalker,
                        .rootPath = rootPath,
                        .homeDirectory = request.homeDirectory,
                        .recordsPrivacyProtectedAsDenied = !request.hasFullDiskAccess};
    const FolderPath rootFolder = FolderPath::root(rootPath);

    if (context.recordsPrivacyProtectedAsDenied && isPrivacyProtectedPath(rootPath, request.homeDirectory)) {
        DeniedPath denied = context.deniedPath(rootPath);
        const int64_t estimate = denied.estimatedBytes;
        DiskScanResult result{
            FileNode::at(rootFolder, rootPath, NodeFields{.isDirectory = true, .folderCount = 1}),
            {std::move(denied)},
            estimate,
            secondsSince(start)};
        (void)channel->yield(result);
        return result;
    }

    // The root may be reached through a symbolic link, unlike anything below it; its device
    // is that of the folder opened, not of the link.
    const platform::Fd rootFd = openRootWaiting(context, rootPath);
    const int rootOpenError = rootFd ? 0 : errno;
    struct stat rootInfo {};
    const int examined = rootFd ? host.statDescriptor(rootFd.get(), &rootInfo)
                                : host.statAt(AT_FDCWD, rootPath.c_str(), &rootInfo);
    if (examined != 0) return std::nullopt;
    const std::optional<Date> rootDate = modificationDateOf(rootInfo);

    // From here on the scan ends with a result, whatever fails: what was built is kept and
    // the part that failed counts as denied.
    RootEntries completed;
    // The root's names, a read at a time: a deque never moves what it holds, so walks of one
    // read's names run while later reads are stored. It outlives every task that reads it.
    std::deque<PackedNames> names;
    {
        // At most as many runs at once as the descriptor plan allows; the rest wait in line, so
        // that reading the root never waits for a run to end.
        LaneQueue<RootRun> lanes(plan.rootWalks);
        TaskGroup entries;
        context.tasks = &entries;
        try {
            context.rootDevice = rootInfo.st_dev;
            if (rootFd) context.folderBytes = platform::allocatedBytesOf(rootInfo);
            context.dataVolumePath =
                standardizedPath(appendingPathComponent(rootPath, "System/Volumes/Data"));
            learnMountsBelow(context, rootPath, rootInfo.st_dev);
            context.cloudPrefixes[0] =
                folderPrefix(appendingPathComponent(request.homeDirectory, "Library/Mobile Documents"));
            context.cloudPrefixes[1] =
                folderPrefix(appendingPathComponent(request.homeDirectory, "Library/CloudStorage"));
            context.watchedPrefixes = watchedPrefixesOf(context);
            context.rootPlacement = context.placementOf(rootPath);

            // A root that cannot be opened is as denied as one whose listing fails part-way (a
            // file given as the root is no folder to read, not a denied one).
            if (!rootFd && rootOpenError != ENOTDIR && rootOpenError != ENOENT &&
                !(platform::isDescriptorShortage(rootOpenError) && context.isCancelled()))
                context.accumulator.appendDeniedPath(context.deniedPath(rootPath));
            // Each entry of an ordinary root gets a task of its own; a root of many thousands
            // shares them out in runs, longer as more are read, so a wide root costs no more
            // than a wide subfolder (kRootRunStep). Root entries report in completion order; a
            // plain locked list keeps every allocation visible to the sanitizers (oneTBB's
            // allocator is not instrumented).
            size_t listed = 0;
            auto walkRead = [&](PackedNames&& read, std::vector<std::string>&& foreign) {
                for (const std::string& name : foreign)
                    completed.add(
                        FileNode::under(rootFolder, name, NodeFields{.isDirectory = true, .folderCount = 1}));
                if (read.size() == 0) return;
                const PackedNames& stored = names.emplace_back(std::move(read));
                listed += stored.size();
                const size_t run = std::max<size_t>(1, listed / kRootRunStep);
                for (size_t first = 0; first < stored.size(); first += run) {
                    if (context.isCancelled()) return;
                    const RootRun next{&stored, first, std::min(first + run, stored.size())};
                    if (!lanes.claimOrQueue(next)) continue;
                    try {
                        entries.run([&context, &completed, &rootFolder, &lanes, next, fd = rootFd.get()] {
                            std::optional<RootRun> current = next;
                            do {
                                if (!context.isCancelled())
                                    walkRootRun(context, fd, rootFolder, *current, completed);
                            } while ((current = lanes.next()));
                        });
                    } catch (...) {
                        lanes.release();
                        throw;
                    }
                }
            };
            listRoot(context, rootFd.get(), walkRead);
            entries.wait();
        } catch (...) {
            try {
                entries.wait();
            } catch (...) {
            }
            try {
                context.accumulator.appendDeniedPath(context.deniedPath(rootPath));
            } catch (...) {
            }
        }
    }

    // Every task that read the root's names has ended, and no progress is reported past the
    // walk: what a root of half a million entries held for them goes before its node is built.
    // Each read's names are small, in a deque of many: freed, they make room for the root's node.
    names.clear();
    context.accumulator.forgetRootEntries();
    DiskScanResult result;
    try {
        result = resultOf(context, rootFolder, rootDate, std::move(completed.nodes), start);
    } catch (...) {
        // Not even the tree could be assembled: the root is reported denied and empty.
        result = DiskScanResult{
            FileNode::at(rootFolder, rootPath, NodeFields{.isDirectory = true, .folderCount = 1}),
            {DeniedPath{rootPath, deletingLastPathComponent(rootPath), 0}},
            0,
            secondsSince(start)};
    }
    (void)channel->yield(result);
    return result;
}

// The whole scan. Yields its events into `channel` and also returns the result. The stream
// ends whatever happens; once the root was examined it ends with exactly one finished event.
std::optional<DiskScanResult> runScan(const ScanRequest& request, platform::ScanHost& host,
                                      const std::shared_ptr<ScanEventChannel>& channel) noexcept {
    struct EndsStream {
        const std::shared_ptr<ScanEventChannel>& channel;
        ~EndsStream() { channel->finish(); }
    } endsStream{channel};
    try {
        return runScanBody(request, host, channel);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

DiskScanner::DiskScanner(int progressBatchSize, platform::ScanHost& host)
    : progressBatchSize_(std::max(progressBatchSize, 1)), host_(host) {
    prepareProcessForScanning();
}

DeniedPath ScanContext::deniedPath(const std::string& path) const {
    struct stat info {};
    const int64_t estimate =
        host.statAt(AT_FDCWD, path.c_str(), &info) == 0 ? platform::allocatedBytesOf(info) : 0;
    return DeniedPath{path, deletingLastPathComponent(path), estimate};
}

bool ScanContext::isForeignMount(const std::string& standardized, unsigned char type) const {
    // A mount over a file holds a file; without a type the entry is taken for a folder, which
    // is never touched.
    return (type == DT_DIR || type == DT_UNKNOWN) && foreignMounts.contains(standardized);
}

Placement ScanContext::placementOf(const std::string& path, Placement parent) const {
    Placement placement{.underCloudFolder = parent.underCloudFolder};
    const std::string prefix = folderPrefix(path);
    for (const std::string& cloud : cloudPrefixes) {
        if (prefix.starts_with(cloud))
            placement.underCloudFolder = true;
        else if (cloud.starts_with(prefix))
            placement.onRoute = true;
    }
    const std::string standardized = folderPrefix(standardizedPath(path));
    for (const std::string& watched : watchedPrefixes)
        if (watched.starts_with(standardized)) placement.onRoute = true;
    return placement;
}

void DiskScanner::startWorkers() {
    TaskGroup::startWorkers();
    // Aggregates are named with grouped counts: loaded now, the user's locale is never read by
    // a walker, with every other walker naming an aggregate waiting on it.
    loadDigitGrouping();
}

ScanEventStream DiskScanner::scan(const std::string& root, std::shared_ptr<ScanCancellation> cancellation,
                                  bool hasFullDiskAccess, const std::string& homeDirectory) const {
    auto channel = std::make_shared<ScanEventChannel>();
    auto request = std::make_shared<ScanRequest>(
        ScanRequest{root, std::move(cancellation), hasFullDiskAccess, homeDirectory, progressBatchSize_});
    // The body runs on a thread of its own, never queued for the task pool's workers: on one
    // processor there are none, and the caller's thread blocks reading the stream. Its walks
    // still run on the workers, and on this thread while it waits for them.
    const bool started = platform::startDetachedThread(
        [request, channel, &host = host_] { (void)runScan(*request, host, channel); }, kBodyStackBytes);
    if (!started) channel->finish();
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
