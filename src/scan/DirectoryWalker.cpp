// One walker: a folder and everything below it that it does not hand to child walks.
// The walk is iterative (a stack of frames), reads each folder with getdents64 on a
// descriptor and sizes every entry with one no-follow fstatat on that descriptor.
#include "scan/PrivacyRule.hpp"
#include "scan/ScanContext.hpp"
#include "scan/SmallItemFolding.hpp"
#include "scan/TaskGroup.hpp"

#include <cerrno>
#include <cstring>
#include <memory>

namespace quillmere {
namespace {

constexpr size_t kListingBufferSize = 64 * 1024;
// Descriptors a walker keeps open; deeper folders close their ancestors' and reopen them
// by name when needed, so chains thousands of levels deep scan within the process limit.
constexpr size_t kOpenFramesPerWalker = 16;

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

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

struct Frame {
    int fd = -1;
    FolderPath folderPath;
    std::string name;
    std::optional<Date> date;
    bool underCloudFolder = false;
    bool onRouteToCloudFolder = false; // a cloud folder lies below this one
    std::string listing;               // entry names, each followed by a NUL
    size_t nextEntry = 0;
    std::string pathText; // built on first need
    std::vector<ChildRecord> records;
    std::vector<FileNode> nodes;
    std::unique_ptr<TaskGroup> tasks;
    std::vector<std::unique_ptr<std::optional<FileNode>>> pending; // child walks, in start order

    void addNode(FileNode node) {
        records.push_back(
            ChildRecord{node.allocatedSize(), 0, static_cast<uint32_t>(nodes.size()),
                        static_cast<uint8_t>(kNode | (node.isExcludedFromTotals() ? kShared : 0))});
        nodes.push_back(std::move(node));
    }
};

char* listingBuffer() {
    // Reading a listing never waits on other tasks, so one buffer per thread suffices.
    thread_local std::unique_ptr<char[]> buffer(new char[kListingBufferSize]);
    return buffer.get();
}

class Walker {
public:
    Walker(ScanContext& context, const std::string& topLevelName)
        : context_(context), topLevelName_(topLevelName) {}

    FileNode walk(int fd, const FolderPath& folderPath, std::string_view name, std::optional<Date> date) {
        frames_.reserve(8);
        frames_.push_back(Frame{.fd = fd, .folderPath = folderPath, .name = std::string(name), .date = date});
        placeAgainstCloudFolders(0);
        readListing(0);
        while (!context_.isCancelled()) {
            Frame& top = frames_.back();
            if (top.nextEntry < top.listing.size()) {
                processNextEntry();
                continue;
            }
            if (frames_.size() == 1) break;
            popFrame();
        }
        if (files_ > 0) context_.accumulator.record(bytes_, files_, topLevelName_, lastCountedPath());
        while (frames_.size() > 1)
            popFrame();
        if (!denied_.empty()) context_.accumulator.appendDeniedPaths(std::move(denied_));
        return finishFrame(frames_.front());
    }

private:
    const std::string& pathOf(size_t index) {
        Frame& frame = frames_[index];
        if (frame.pathText.empty()) {
            frame.pathText =
                index == 0 ? frame.folderPath.text() : appendingPathComponent(pathOf(index - 1), frame.name);
        }
        return frame.pathText;
    }

    std::string entryPath(size_t index, std::string_view name) {
        return appendingPathComponent(pathOf(index), name);
    }

    // Only folders on the way to a cloud folder build their path to find out.
    void placeAgainstCloudFolders(size_t index) {
        Frame& frame = frames_[index];
        if (index > 0) {
            const Frame& parent = frames_[index - 1];
            frame.underCloudFolder = parent.underCloudFolder;
            if (parent.underCloudFolder || !parent.onRouteToCloudFolder) return;
        }
        const std::string prefix = folderPrefix(pathOf(index));
        for (const std::string& cloud : context_.cloudPrefixes) {
            if (prefix.starts_with(cloud))
                frame.underCloudFolder = true;
            else if (cloud.starts_with(prefix))
                frame.onRouteToCloudFolder = true;
        }
    }

    void readListing(size_t index) {
        Frame& frame = frames_[index];
        char* buffer = listingBuffer();
        bool first = true;
        while (true) {
            const long read = context_.host.readEntries(frame.fd, buffer, kListingBufferSize);
            if (read < 0 && first) denied_.push_back(makeDeniedPath(pathOf(index)));
            if (read <= 0) break;
            first = false;
            for (long offset = 0; offset < read;) {
                const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const char* entryName = entry->d_name;
                if (entryName[0] == '.' && (entryName[1] == 0 || (entryName[1] == '.' && entryName[2] == 0)))
                    continue;
                frame.listing.append(entryName, std::strlen(entryName) + 1);
            }
        }
    }

    // The descriptor of a frame, reopened by name from the nearest open ancestor when the
    // descriptor limit closed it; -1 when the folder can no longer be reached.
    int descriptorOf(size_t index) {
        if (frames_[index].fd >= 0) return frames_[index].fd;
        size_t open = index;
        while (frames_[open].fd < 0)
            --open;
        int fd = frames_[open].fd;
        for (size_t k = open + 1; k <= index && fd >= 0; ++k) {
            const int next = context_.host.openDirectoryAt(fd, frames_[k].name.c_str());
            if (fd != frames_[open].fd) context_.host.closeDirectory(fd);
            fd = next;
        }
        frames_[index].fd = fd;
        if (fd >= 0) limitOpenDescriptors();
        return fd;
    }

    void limitOpenDescriptors() {
        size_t open = 0;
        for (const Frame& frame : frames_)
            open += frame.fd >= 0 ? 1 : 0;
        // The first frame stays open: every reopen starts from it at the latest.
        for (size_t i = 1; open > kOpenFramesPerWalker && i + 1 < frames_.size(); ++i) {
            if (frames_[i].fd < 0) continue;
            context_.host.closeDirectory(frames_[i].fd);
            frames_[i].fd = -1;
            --open;
        }
    }

    void processNextEntry() {
        const size_t index = frames_.size() - 1;
        const uint32_t nameOffset = static_cast<uint32_t>(frames_[index].nextEntry);
        const char* name = frames_[index].listing.data() + nameOffset;
        frames_[index].nextEntry += std::strlen(name) + 1;

        const int fd = descriptorOf(index);
        if (fd < 0) {
            frames_[index].nextEntry = frames_[index].listing.size();
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
        const LeafFacts leaf = sizeLeaf(context_, fd, name, info, frame.underCloudFolder, pathOfLeaf);
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
            context_.accumulator.record(bytes_, files_, topLevelName_, entryPath(index, name));
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
        if (info.st_dev != context_.rootDevice) return addChildless();
        const bool mayBeDuplicateView = !context_.duplicateViews.empty() || std::strcmp(name, "Data") == 0;
        if (mayBeDuplicateView) {
            const std::string path = standardizedPath(entryPath(index, name));
            if (path == context_.dataVolumePath || context_.duplicateViews.contains(path))
                return addChildless();
        }
        if (context_.recordsPrivacyProtectedAsDenied) {
            const std::string path = entryPath(index, name);
            if (isPrivacyProtectedPath(path, context_.homeDirectory)) {
                denied_.push_back(
                    DeniedPath{path, pathOf(index), static_cast<int64_t>(info.st_blocks) * 512});
                return;
            }
        }
        const int childFd = context_.host.openDirectoryAt(fd, name);
        if (childFd < 0) {
            if (errno == ENOENT || errno == ENOTDIR) return; // gone or replaced since the listing
            denied_.push_back(DeniedPath{entryPath(index, name), pathOf(index),
                                         static_cast<int64_t>(info.st_blocks) * 512});
            return addChildless();
        }
        if (context_.budget.tryAcquire()) {
            Frame& frame = frames_[index];
            if (!frame.tasks) frame.tasks = std::make_unique<TaskGroup>();
            auto& slot = frame.pending.emplace_back(std::make_unique<std::optional<FileNode>>());
            frame.tasks->run([&context = context_, childFd, childPath = frame.folderPath.child(name),
                              childName = std::string(name), date, topLevelName = topLevelName_,
                              out = slot.get()] {
                *out = walkDirectory(context, childFd, childPath, childName, date, topLevelName);
                context.budget.release();
            });
            return;
        }
        frames_.push_back(Frame{
            .fd = childFd, .folderPath = frames_[index].folderPath.child(name), .name = name, .date = date});
        placeAgainstCloudFolders(index + 1);
        readListing(index + 1);
        limitOpenDescriptors();
    }

    void popFrame() {
        const size_t index = frames_.size() - 1;
        if (lastCountedFrame_ == static_cast<long>(index)) {
            lastCountedPath_ = entryPath(index, frames_[index].listing.data() + lastCountedOffset_);
            lastCountedFrame_ = -1;
        }
        FileNode node = finishFrame(frames_[index]);
        frames_.pop_back();
        frames_.back().addNode(std::move(node));
    }

    std::string lastCountedPath() {
        if (lastCountedFrame_ >= 0) {
            const auto index = static_cast<size_t>(lastCountedFrame_);
            return entryPath(index, frames_[index].listing.data() + lastCountedOffset_);
        }
        return lastCountedPath_;
    }

    FileNode finishFrame(Frame& frame) {
        if (frame.fd >= 0) {
            context_.host.closeDirectory(frame.fd);
            frame.fd = -1;
        }
        if (frame.tasks) {
            frame.tasks->wait();
            for (auto& result : frame.pending)
                if (*result) frame.addNode(std::move(**result));
        }
        std::vector<int64_t> sizes;
        sizes.reserve(frame.records.size());
        std::unique_ptr<bool[]> counted(new bool[frame.records.size()]);
        for (size_t i = 0; i < frame.records.size(); ++i) {
            sizes.push_back(frame.records[i].size);
            counted[i] = frame.records[i].isCounted();
        }
        const std::vector<bool> folds =
            childrenToFold(sizes, std::span<const bool>(counted.get(), frame.records.size()));

        std::vector<FileNode> children;
        children.reserve(frame.records.size() - (folds.empty() ? 0 : frame.records.size() / 2));
        FileNode::Totals sums{.folderCount = 0};
        int64_t foldedCount = 0;
        for (size_t i = 0; i < frame.records.size(); ++i) {
            const ChildRecord& record = frame.records[i];
            if (!folds.empty() && folds[i]) {
                ++foldedCount;
                if (record.flags & kNode) {
                    const FileNode& node = frame.nodes[record.nameOffset];
                    sums.allocatedSize += node.allocatedSize();
                    sums.cloudOnlyCount += node.cloudOnlyCount();
                    sums.folderCount += node.folderCount();
                    sums.fileCount += node.fileCount();
                    sums.sharedBytesTotal += node.sharedBytesTotal();
                } else {
                    sums.allocatedSize += record.size; // folded leaves are neither shared nor cloud-only
                    sums.fileCount += 1;
                }
                continue;
            }
            if (record.flags & kNode) {
                children.push_back(std::move(frame.nodes[record.nameOffset]));
                continue;
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
        }
        if (foldedCount > 0) children.push_back(makeAggregate(frame.folderPath, foldedCount, sums));
        FileNode node = FileNode::folder(frame.folderPath, frame.name, frame.date, std::move(children));
        frame.records.clear();
        frame.nodes.clear();
        frame.listing.clear();
        return node;
    }

    ScanContext& context_;
    const std::string& topLevelName_;
    std::vector<Frame> frames_;
    std::vector<DeniedPath> denied_;
    int64_t bytes_ = 0;
    int64_t files_ = 0;
    long lastCountedFrame_ = -1;
    uint32_t lastCountedOffset_ = 0;
    std::string lastCountedPath_;
};

} // namespace

FileNode walkDirectory(ScanContext& context, int directoryFd, const FolderPath& folderPath,
                       std::string_view name, std::optional<Date> modificationDate,
                       const std::string& topLevelName) {
    Walker walker(context, topLevelName);
    return walker.walk(directoryFd, folderPath, name, modificationDate);
}

} // namespace quillmere
