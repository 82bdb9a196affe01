// One walker: a folder and everything below it that it does not hand to child walks.
// The walk is iterative (a stack of frames), reads each folder with getdents64 on a
// descriptor and sizes every entry with one no-follow fstatat on that descriptor.
// Nothing it does per folder grows with the depth: paths are shared segments built into
// text only where one is reported or checked, and descriptors are counted, not searched.
#include "platform/DirectoryEntries.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/ScanContext.hpp"
#include "scan/SmallItemFolding.hpp"
#include "scan/TaskGroup.hpp"

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

namespace quillmere {
namespace {

constexpr size_t kListingBufferSize = 64 * 1024;
// Descriptors a walker keeps open; deeper folders close their ancestors' and reopen them
// by name when needed, so chains thousands of levels deep scan within the process limit.
constexpr size_t kOpenFramesPerWalker = 16;

enum RecordFlag : uint8_t {
    kSymbolicLink = 1,
    kShared = 2,
    kCloudOnly = 4,
    kHasDate = 8,
    kNode = 16, // an already-built node (a finished subfolder or a childless folder)
};

// A child of a frame before folding: leaves stay in this compact form, naming their entry
// in the frame's listing, until the folder is folded; only survivors become FileNodes.
struct ChildRecord {
    int64_t size = 0;
    double date = 0;
    uint32_t nameOffset = 0; // in the listing, or the node index when kNode
    uint8_t flags = 0;

    bool isCounted() const { return !(flags & (kShared | kCloudOnly)); }
};

// A child walk started in its own task: its permit goes back and its result lands in its
// slot however the walk ends.
struct ChildWalk {
    std::optional<FileNode> result;
};

struct ChildJob {
    platform::Fd fd;
    std::optional<ConcurrencyBudget::Permit> permit;
};

struct Frame {
    platform::Fd fd;
    FolderPath folderPath; // its last segment is the folder's name, except for the first frame
    std::optional<Date> date;
    // The folder's identity when it was entered (not kept for the first frame, never closed).
    dev_t device = 0;
    ino_t inode = 0;
    Placement placement;
    std::string listing; // entry names, each followed by a NUL
    size_t nextEntry = 0;
    bool listed = false;
    bool closedWithEntriesLeft = false; // counted in the walker's closedWithEntriesLeft_
    std::vector<ChildRecord> records;
    std::vector<FileNode> nodes;
    std::unique_ptr<TaskGroup> tasks;
    std::vector<std::unique_ptr<ChildWalk>> pending; // child walks, in start order

    void addNode(FileNode node) {
        records.push_back(
            ChildRecord{node.allocatedSize(), 0, static_cast<uint32_t>(nodes.size()),
                        static_cast<uint8_t>(kNode | (node.isExcludedFromTotals() ? kShared : 0))});
        nodes.push_back(std::move(node));
    }

    // Waits for the child walks, which write into this frame; never throws.
    void settle() noexcept {
        if (!tasks) return;
        try {
            tasks->wait();
        } catch (...) {
            // A child walk never throws; should the group report anything, its tasks have ended.
        }
    }
};

char* listingBuffer() {
    // Reading a listing never waits on other tasks, so one buffer per thread suffices.
    thread_local std::unique_ptr<char[]> buffer(new char[kListingBufferSize]);
    return buffer.get();
}

class Walker {
public:
    Walker(ScanContext& context, std::string_view rootName, const std::string& topLevelName)
        : context_(context), rootName_(rootName), topLevelName_(topLevelName) {}
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;
    ~Walker() {
        for (Frame& frame : frames_)
            frame.settle();
    }

    std::optional<FileNode> walk(platform::Fd fd, const FolderPath& folderPath, std::optional<Date> date,
                                 Placement placement) {
        try {
            pushFrame(
                Frame{.fd = std::move(fd), .folderPath = folderPath, .date = date, .placement = placement});
            bool popping = false;
            while (!context_.isCancelled()) {
                try {
                    Frame& top = frames_.back();
                    if (!top.listed) {
                        top.listed = true;
                        readListing(frames_.size() - 1);
                        limitOpenDescriptors();
                        continue;
                    }
                    if (top.nextEntry < top.listing.size()) {
                        processNextEntry();
                        continue;
                    }
                    if (frames_.size() == 1) break;
                    popping = true;
                    popFrame();
                    popping = false;
                } catch (...) {
                    // The folder being walked when something failed is cut short and reported
                    // denied, with everything read until then kept, and the walk goes on. A
                    // folder that failed while it was being finished cannot be kept in part,
                    // so then the walk ends here.
                    noteCutShort();
                    if (popping) throw;
                    frames_.back().nextEntry = frames_.back().listing.size();
                    notePending(frames_.back());
                }
            }
        } catch (...) {
        }
        try {
            auto lastPath = [&] { return lastCountedPath(); };
            if (files_ > 0) context_.accumulator.record(bytes_, files_, topLevelName_, lastPath);
            files_ = 0;
            while (frames_.size() > 1)
                popFrame();
            flushFolderBytes();
            flushDenied();
            return finishFrame(0);
        } catch (...) {
            flushFolderBytes();
            flushDenied();
            return std::nullopt;
        }
    }

private:
    std::string_view nameOf(size_t index) const {
        return index == 0 ? rootName_ : frames_[index].folderPath.name();
    }

    std::string pathOf(size_t index) const { return frames_[index].folderPath.text(); }

    std::string entryPath(size_t index, std::string_view name) const {
        return appendingPathComponent(pathOf(index), name);
    }

    void noteCutShort() noexcept {
        try {
            if (!frames_.empty()) denied_.push_back(context_.deniedPath(pathOf(frames_.size() - 1)));
        } catch (...) {
        }
    }

    void flushFolderBytes() noexcept {
        context_.folderBytes.fetch_add(std::exchange(folderBytes_, 0), std::memory_order_relaxed);
    }

    void flushDenied() noexcept {
        try {
            if (!denied_.empty()) context_.accumulator.appendDeniedPaths(std::move(denied_));
        } catch (...) {
        }
        denied_.clear();
    }

    // The walk loop reads the new frame's listing, so a failure there cuts short this folder.
    void pushFrame(Frame frame) {
        if (frame.fd) ++openCount_;
        frames_.push_back(std::move(frame));
    }

    void readListing(size_t index) {
        Frame& frame = frames_[index];
        char* buffer = listingBuffer();
        while (true) {
            const long read = context_.host.readEntries(frame.fd.get(), buffer, kListingBufferSize);
            if (read < 0) {
                // A folder that vanished is gone like a vanished entry; any other failure, on
                // the first chunk or a later one, leaves the folder denied with what was read.
                // Either way its own blocks are no longer the walk's to count: a denied
                // folder's are its estimate.
                const int error = errno;
                struct stat info {};
                if (context_.host.statDescriptor(frame.fd.get(), &info) == 0)
                    folderBytes_ -= static_cast<int64_t>(info.st_blocks) * 512;
                if (error != ENOENT) denied_.push_back(context_.deniedPath(pathOf(index)));
                break;
            }
            if (read == 0) break;
            platform::forEachDirectoryEntry(buffer, static_cast<size_t>(read), [&](std::string_view entry) {
                frame.listing.append(entry);
                frame.listing.push_back('\0');
            });
        }
    }

    void closeFrame(Frame& frame) noexcept {
        if (!frame.fd) return;
        frame.fd.reset();
        --openCount_;
    }

    // The descriptor of the top frame, reopened by name from the nearest open ancestor when
    // the descriptor limit closed it; -1 when the folder can no longer be reached.
    int descriptorOfTop() {
        const size_t index = frames_.size() - 1;
        if (frames_[index].fd) return frames_[index].fd.get();
        size_t open = index;
        while (!frames_[open].fd)
            --open;
        // The folders on the way keep their descriptors, so popping back up past them needs
        // no reopening until the limit closes them again.
        for (size_t k = open + 1; k <= index; ++k) {
            platform::Fd next =
                context_.host.openDirectoryAt(frames_[k - 1].fd.get(), std::string(nameOf(k)).c_str());
            if (!next) {
                if (errno != ENOENT) denied_.push_back(context_.deniedPath(pathOf(index)));
                return -1;
            }
            frames_[k].fd = std::move(next);
            notePending(frames_[k]);
            ++openCount_;
        }
        closeCursor_ = std::min(closeCursor_, open + 1);
        limitOpenDescriptors();
        return frames_[index].fd.get();
    }

    // Closes the shallowest open frames (never the first, from which every reopen can
    // start, nor the top) until the walker is within its limit. Frames below the cursor are
    // all closed, so each frame is passed over a bounded number of times.
    void limitOpenDescriptors() {
        while (openCount_ > kOpenFramesPerWalker) {
            if (closeCursor_ < 1) closeCursor_ = 1;
            while (closeCursor_ + 1 < frames_.size() && !frames_[closeCursor_].fd)
                ++closeCursor_;
            if (closeCursor_ + 1 >= frames_.size()) return;
            closeFrame(frames_[closeCursor_]);
            notePending(frames_[closeCursor_]);
            ++closeCursor_;
        }
    }

    void processNextEntry() {
        const size_t index = frames_.size() - 1;
        const uint32_t nameOffset = static_cast<uint32_t>(frames_[index].nextEntry);
        const char* name = frames_[index].listing.data() + nameOffset;
        frames_[index].nextEntry += std::strlen(name) + 1;

        const int fd = descriptorOfTop();
        if (fd < 0) {
            frames_[index].nextEntry = frames_[index].listing.size();
            notePending(frames_[index]);
            return;
        }
        struct stat info {};
        if (context_.host.statAt(fd, name, &info) != 0) {
            // An entry that vanished since the listing is simply gone, not denied.
            if (errno != ENOENT) denied_.push_back(DeniedPath{entryPath(index, name), pathOf(index), 0});
            return;
        }
        if (S_ISDIR(info.st_mode)) {
            processFolder(index, fd, name, info);
            return;
        }
        Frame& frame = frames_[index];
        auto pathOfLeaf = [&] { return entryPath(index, name); };
        const LeafFacts leaf =
            sizeLeaf(context_, fd, name, info, frame.placement.underCloudFolder, pathOfLeaf);
        ChildRecord record{leaf.allocatedSize, leaf.modificationDate.value_or(0), nameOffset, 0};
        if (leaf.isSymbolicLink) record.flags |= kSymbolicLink;
        if (leaf.isSharedElsewhere) record.flags |= kShared;
        if (leaf.isCloudOnly) record.flags |= kCloudOnly;
        if (leaf.modificationDate) record.flags |= kHasDate;
        frame.records.push_back(record);

        if (record.isCounted()) bytes_ += leaf.allocatedSize;
        ++files_;
        lastCountedFrame_ = static_cast<long>(index);
        lastCountedOffset_ = nameOffset;
        if (files_ >= context_.progressBatchSize) {
            auto path = [&] { return entryPath(index, name); };
            context_.accumulator.record(bytes_, files_, topLevelName_, path);
            bytes_ = 0;
            files_ = 0;
        }
    }

    void processFolder(size_t index, int fd, const char* name, const struct stat& info) {
        const std::optional<Date> date = modificationDateOf(info);
        const auto addChildless = [&] {
            frames_[index].addNode(
                FileNode::under(frames_[index].folderPath, name,
                                NodeFields{.isDirectory = true, .folderCount = 1, .modificationDate = date}));
        };
        const auto deny = [&] {
            denied_.push_back(DeniedPath{entryPath(index, name), pathOf(index),
                                         static_cast<int64_t>(info.st_blocks) * 512});
        };
        if (info.st_dev != context_.rootDevice) return addChildless();
        const Placement parent = frames_[index].placement;
        Placement placement{.underCloudFolder = parent.underCloudFolder};
        if (parent.onRoute) {
            // Only folders on the way to a watched folder build their children's paths.
            const std::string path = entryPath(index, name);
            if (context_.isDuplicateView(standardizedPath(path))) return addChildless();
            if (context_.recordsPrivacyProtectedAsDenied &&
                isPrivacyProtectedPath(path, context_.homeDirectory))
                return deny();
            placement = context_.placementOf(path, parent);
        } else if (context_.recordsPrivacyProtectedAsDenied && isProtectedPackageName(name)) {
            return deny();
        }
        platform::Fd childFd = context_.host.openDirectoryAt(fd, name);
        if (!childFd) {
            if (errno == ENOENT || errno == ENOTDIR) return; // gone or replaced since the listing
            deny();
            return addChildless();
        }
        folderBytes_ += static_cast<int64_t>(info.st_blocks) * 512;
        if (std::optional<ConcurrencyBudget::Permit> permit = context_.budget.tryAcquire()) {
            Frame& frame = frames_[index];
            if (!frame.tasks) frame.tasks = std::make_unique<TaskGroup>();
            // The task owns the descriptor and the permit, so both go back however it ends,
            // even when it never runs.
            auto job = std::make_shared<ChildJob>(ChildJob{std::move(childFd), std::move(*permit)});
            ChildWalk* slot = frame.pending.emplace_back(std::make_unique<ChildWalk>()).get();
            frame.tasks->run([&context = context_, job, childPath = frame.folderPath.child(name), date,
                              placement, topLevelName = topLevelName_, slot] {
                slot->result = walkDirectory(context, std::move(job->fd), childPath, childPath.name(), date,
                                             placement, topLevelName);
                job->permit.reset();
            });
            return;
        }
        pushFrame(Frame{.fd = std::move(childFd),
                        .folderPath = frames_[index].folderPath.child(name),
                        .date = date,
                        .device = info.st_dev,
                        .inode = info.st_ino,
                        .placement = placement});
    }

    void popFrame() {
        const size_t index = frames_.size() - 1;
        if (lastCountedFrame_ == static_cast<long>(index)) {
            lastCountedFolder_ = frames_[index].folderPath;
            lastCountedName_ = frames_[index].listing.data() + lastCountedOffset_;
            lastCountedFrame_ = -1;
        }
        reopenParentThroughDotDot(index);
        frames_[index].nextEntry = frames_[index].listing.size();
        notePending(frames_[index]);
        FileNode node = finishFrame(index);
        frames_.pop_back();
        closeCursor_ = std::min(closeCursor_, frames_.size() - 1);
        frames_.back().addNode(std::move(node));
    }

    // Climbing back towards a closed ancestor that still has entries to walk: each parent's
    // descriptor is reopened through "..", one step whatever the depth, when that leads to the
    // very folder entered (a folder moved meanwhile leads elsewhere, and is then reopened by
    // name from its nearest open ancestor when it is needed). A plain chain pays nothing.
    void reopenParentThroughDotDot(size_t index) {
        Frame& parent = frames_[index - 1];
        const Frame& child = frames_[index];
        if (index < 2 || parent.fd || !child.fd || closedWithEntriesLeft_ == 0) return;
        platform::Fd dotDot = context_.host.openDirectoryAt(child.fd.get(), "..");
        struct stat info {};
        if (!dotDot || context_.host.statDescriptor(dotDot.get(), &info) != 0 ||
            info.st_dev != parent.device || info.st_ino != parent.inode)
            return;
        // The child's descriptor closes as it is finished, so the count stays within the limit.
        parent.fd = std::move(dotDot);
        ++openCount_;
        notePending(parent);
    }

    // Keeps count of the closed frames that still have entries to walk.
    void notePending(Frame& frame) noexcept {
        const bool pending = !frame.fd && frame.nextEntry < frame.listing.size();
        if (pending == frame.closedWithEntriesLeft) return;
        frame.closedWithEntriesLeft = pending;
        if (pending)
            ++closedWithEntriesLeft_;
        else
            --closedWithEntriesLeft_;
    }

    std::string lastCountedPath() const {
        if (lastCountedFrame_ >= 0) {
            const auto index = static_cast<size_t>(lastCountedFrame_);
            return entryPath(index, frames_[index].listing.data() + lastCountedOffset_);
        }
        return appendingPathComponent(lastCountedFolder_.text(), lastCountedName_);
    }

    FileNode finishFrame(size_t index) {
        Frame& frame = frames_[index];
        closeFrame(frame);
        frame.settle();
        for (auto& child : frame.pending)
            if (child->result) frame.addNode(std::move(*child->result));
        frame.pending.clear();
        frame.tasks.reset();

        std::vector<FileNode> children;
        children.reserve(frame.records.size());
        const auto keep = [&](size_t i) {
            const ChildRecord& record = frame.records[i];
            if (record.flags & kNode) {
                children.push_back(std::move(frame.nodes[record.nameOffset]));
                return;
            }
            const bool shared = record.flags & kShared;
            const bool cloudOnly = record.flags & kCloudOnly;
            children.push_back(FileNode::under(
                frame.folderPath, frame.listing.data() + record.nameOffset,
                NodeFields{.isSymbolicLink = bool(record.flags & kSymbolicLink),
                           .allocatedSize = record.size,
                           .isSharedElsewhere = shared,
                           .isCloudOnly = cloudOnly,
                           .cloudOnlyCount = cloudOnly ? 1 : 0,
                           .fileCount = 1,
                           .sharedBytesTotal = shared ? record.size : 0,
                           .modificationDate =
                               (record.flags & kHasDate) ? std::optional<Date>(record.date) : std::nullopt}));
        };
        const auto fold = [&](size_t i, FileNode::Totals& sums) {
            const ChildRecord& record = frame.records[i];
            if (record.flags & kNode) {
                sums.add(frame.nodes[record.nameOffset]);
            } else {
                sums.allocatedSize += record.size; // folded leaves are neither shared nor cloud-only
                sums.fileCount += 1;
            }
        };
        std::optional<FileNode> aggregate = foldChildren(
            frame.records.size(), frame.folderPath, [&](size_t i) { return frame.records[i].size; },
            [&](size_t i) { return frame.records[i].isCounted(); }, keep, fold);
        if (aggregate) children.push_back(std::move(*aggregate));
        FileNode node = FileNode::folder(frame.folderPath, nameOf(index), frame.date, std::move(children));
        frame.records.clear();
        frame.nodes.clear();
        frame.listing.clear();
        return node;
    }

    ScanContext& context_;
    std::string_view rootName_;
    const std::string& topLevelName_;
    // A deque never moves its frames, so a deep chain grows without copying the ones above.
    std::deque<Frame> frames_;
    std::vector<DeniedPath> denied_;
    size_t openCount_ = 0;
    size_t closeCursor_ = 1;
    size_t closedWithEntriesLeft_ = 0;
    int64_t bytes_ = 0;
    int64_t files_ = 0;
    int64_t folderBytes_ = 0; // the own blocks of the folders this walker opened
    long lastCountedFrame_ = -1;
    uint32_t lastCountedOffset_ = 0;
    FolderPath lastCountedFolder_;
    std::string lastCountedName_;
};

} // namespace

std::optional<FileNode> walkDirectory(ScanContext& context, platform::Fd directory,
                                      const FolderPath& folderPath, std::string_view name,
                                      std::optional<Date> modificationDate, Placement placement,
                                      const std::string& topLevelName) noexcept {
    try {
        Walker walker(context, name, topLevelName);
        return walker.walk(std::move(directory), folderPath, modificationDate, placement);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace quillmere
