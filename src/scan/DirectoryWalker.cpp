// One walker: a folder and everything below it that it does not hand to child walks.
// The walk is iterative (a stack of frames), reads each folder with getdents64 on a
// descriptor and sizes every entry with one no-follow fstatat on that descriptor.
// Nothing it does per folder grows with the depth: paths are shared segments built into
// text only where one is reported or checked, and descriptors are counted, not searched.
#include "platform/Descriptors.hpp"
#include "platform/DirectoryEntries.hpp"
#include "platform/DiskUsage.hpp"
#include "platform/Thread.hpp"
#include "scan/ListingBuffer.hpp"
#include "scan/NodeArena.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/ScanContext.hpp"
#include "scan/SmallItemFolding.hpp"
#include "scan/TaskGroup.hpp"
#include "scan/WalkDescriptors.hpp"
#include "scan/WalkFrame.hpp"
#include "scan/WalkTask.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

namespace quillmere {
namespace {

void walkFolder(ScanContext& context, platform::Fd directory, const FolderPath& folderPath,
                std::string_view name, std::optional<Date> modificationDate, Placement placement,
                const std::string& topLevelName, NodeSink sink, EntryShare* share) noexcept;

class Walker {
public:
    Walker(ScanContext& context, std::string_view rootName, const std::string& topLevelName)
        : context_(context), rootName_(rootName), topLevelName_(topLevelName) {}
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    // Walks the folder and hands its node to `sink`, now or, when walks of its subfolders are
    // still running, once the last of them ends; nothing when not even that can be built.
    // With `share`, walks only those entries of the folder and hands `sink` what they became.
    void walk(platform::Fd fd, const FolderPath& folderPath, std::optional<Date> date, Placement placement,
              NodeSink sink, EntryShare* share = nullptr) {
        try {
            pushFrame(
                Frame{.fd = std::move(fd), .folderPath = folderPath, .date = date, .placement = placement});
            if (share) {
                Frame& first = frames_.back();
                first.listing = std::move(share->names);
                first.entriesLeft = share->count;
                first.records.reserve(share->count);
                first.listed = true;
                if (!first.listing.empty()) ++framesWithEntriesLeft_;
            }
            while (!context_.isCancelled()) {
                try {
                    Frame& top = frames_.back();
                    if (!top.listed) {
                        top.listed = true;
                        try {
                            readListing(frames_.size() - 1);
                        } catch (...) {
                            // The names read are dropped with the folder's other entries, as
                            // the folder is cut short, before it was ever counted as having any.
                            top.listing.clear();
                            top.entriesLeft = 0;
                            throw;
                        }
                        // Every entry becomes at most one record (those of entries shared out
                        // later stay with their share, so the end of this room may go unused).
                        top.records.reserve(top.entriesLeft);
                        if (!top.listing.empty()) ++framesWithEntriesLeft_;
                        limitOpenDescriptors();
                        continue;
                    }
                    if (top.nextEntry < top.listing.size()) {
                        if (top.entriesLeft >= 2 * kShareEntries && top.entriesLeft % kShareCheckEvery == 0)
                            shareOutEntries();
                        processNextEntry();
                        continue;
                    }
                    if (frames_.size() == 1) break;
                    finishTopFrame();
                } catch (...) {
                    // The folder being walked when something failed is cut short and reported
                    // denied, with everything read until then kept, and the walk goes on.
                    noteCutShort();
                    skipRemainingEntries(frames_.back());
                }
            }
        } catch (...) {
        }
        try {
            auto lastPath = [&] { return lastCountedPath(); };
            if (files_ > 0) context_.accumulator.record(bytes_, files_, topLevelName_, lastPath);
            files_ = 0;
            while (frames_.size() > 1)
                finishTopFrame();
            flushFolderBytes();
            flushDenied();
            closeFrame(frames_[0]);
            if (handOver(0, sink, share != nullptr)) return;
            if (share) return deliverPart(std::move(sink), std::move(frames_[0]));
            const bool held = frames_[0].holdsDenied;
            FileNode node = assembleFolder(frames_[0], rootName_);
            deliverNode(std::move(sink), std::move(node), held);
        } catch (...) {
            flushFolderBytes();
            flushDenied();
            deliverNode(std::move(sink), std::nullopt, true);
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

    // Records a denied path in or of the folder of frame `index`.
    void deny(size_t index, DeniedPath path) {
        frames_[index].holdsDenied = true;
        denied_.push_back(std::move(path));
    }

    void noteCutShort() noexcept {
        try {
            if (!frames_.empty()) deny(frames_.size() - 1, context_.deniedPath(pathOf(frames_.size() - 1)));
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
            const size_t names = read > 0 ? listingBytesOf(buffer, static_cast<size_t>(read)) : 0;
            // Past what a record's offset addresses the listing is cut short, as by a failed read.
            const bool tooLong = frame.listing.size() + names > kListingBytesLimit;
            if (read < 0 || tooLong) {
                // A folder that vanished is gone like a vanished entry; any other failure, on
                // the first chunk or a later one, leaves the folder denied with what was read.
                // Either way its own blocks are no longer the walk's to count: a denied
                // folder's are its estimate.
                const int error = tooLong ? EOVERFLOW : errno;
                struct stat info {};
                if (context_.host.statDescriptor(frame.fd.get(), &info) == 0)
                    folderBytes_ -= platform::allocatedBytesOf(info);
                if (error != ENOENT) deny(index, context_.deniedPath(pathOf(index)));
                break;
            }
            if (read == 0) break;
            // Room for the chunk's names at once: grown a name at a time, a folder's listing is
            // copied over as often as its size doubles.
            if (frame.listing.capacity() - frame.listing.size() < names)
                frame.listing.reserve(std::max(frame.listing.size() + names, 2 * frame.listing.capacity()));
            platform::forEachDirectoryEntry(
                buffer, static_cast<size_t>(read), [&](std::string_view entry, unsigned char type) {
                    // Only folders on the way to a mount point build their entries' paths.
                    if (frame.placement.onRoute && !context_.foreignMounts.empty() &&
                        context_.isForeignMount(standardizedPath(entryPath(index, entry)), type))
                        frame.foreignMounts.push_back(frame.listing.size());
                    frame.listing.append(entry);
                    frame.listing.push_back('\0');
                    ++frame.entriesLeft;
                });
            if (frame.entriesLeft >= kListedShareEntries) shareOutListed(index);
        }
    }

    void closeFrame(Frame& frame) noexcept {
        if (!frame.fd) return;
        frame.fd.reset();
        --openCount_;
        platform::noteDescriptorReleased();
    }

    // Descriptors a walker keeps open (the scan's plan sizes it from the process limit); deeper
    // folders close their ancestors' and reopen them by name when needed, so chains thousands
    // of levels deep scan within the limit.
    size_t frameLimit() const { return context_.openFramesPerWalker; }

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
            auto keepAll = [] {};
            platform::Fd next =
                openFolderWaiting(context_, frames_[k - 1].fd.get(), std::string(nameOf(k)).c_str(), keepAll);
            if (!next) {
                if (errno != ENOENT && !stoppedWaiting()) deny(index, context_.deniedPath(pathOf(index)));
                return -1;
            }
            frames_[k].fd = std::move(next);
            notePending(frames_[k]);
            ++openCount_;
            // Down a long closed chain only the last folders stay open.
            if (openCount_ > frameLimit() && k - 1 >= 1) {
                closeFrame(frames_[k - 1]);
                notePending(frames_[k - 1]);
            }
        }
        closeCursor_ = std::min(closeCursor_, open + 1);
        limitOpenDescriptors();
        return frames_[index].fd.get();
    }

    // Closes the shallowest open frames (never the first, from which every reopen can
    // start, nor the top) until the walker is within its limit. Frames below the cursor are
    // all closed, so each frame is passed over a bounded number of times.
    void limitOpenDescriptors() { limitOpenDescriptors(frameLimit()); }
    void limitOpenDescriptors(size_t limit) {
        while (openCount_ > limit) {
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
        const size_t nameOffset = frames_[index].nextEntry;
        const char* name = frames_[index].listing.data() + nameOffset;
        frames_[index].nextEntry += std::strlen(name) + 1;
        --frames_[index].entriesLeft;
        if (frames_[index].nextEntry >= frames_[index].listing.size()) --framesWithEntriesLeft_;

        if (Frame& frame = frames_[index]; frame.nextForeignMount < frame.foreignMounts.size() &&
                                           frame.foreignMounts[frame.nextForeignMount] == nameOffset) {
            // Another file system's mount point: recorded from the mount table, never touched.
            ++frame.nextForeignMount;
            frame.addNode(
                FileNode::under(frame.folderPath, name, NodeFields{.isDirectory = true, .folderCount = 1}));
            return;
        }
        const int fd = descriptorOfTop();
        if (fd < 0) {
            skipRemainingEntries(frames_[index]);
            return;
        }
        struct stat info {};
        if (context_.host.statAt(fd, name, &info) != 0) {
            // An entry that vanished since the listing is simply gone, not denied.
            if (errno != ENOENT) deny(index, DeniedPath{entryPath(index, name), pathOf(index), 0});
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
        auto record = ChildRecord::of(leaf.allocatedSize, leaf.modificationDate.value_or(0), nameOffset, 0);
        if (leaf.isSymbolicLink) record.flags |= kSymbolicLink;
        if (leaf.isSharedElsewhere) record.flags |= kShared;
        if (leaf.isCloudOnly) record.flags |= kCloudOnly;
        if (leaf.modificationDate) record.flags |= kHasDate;
        frame.records.push_back(record);

        bytes_ += leaf.progressBytes;
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
        const auto addChildless = [&](bool denied = false) {
            frames_[index].addNode(
                FileNode::under(frames_[index].folderPath, name,
                                NodeFields{.isDirectory = true, .folderCount = 1, .modificationDate = date}),
                denied);
        };
        const auto denyEntry = [&] {
            deny(index, DeniedPath{entryPath(index, name), pathOf(index), platform::allocatedBytesOf(info)});
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
                return denyEntry();
            placement = context_.placementOf(path, parent);
        } else if (context_.recordsPrivacyProtectedAsDenied && isProtectedPackageName(name)) {
            return denyEntry();
        }
        // Short of descriptors, this walker first gives back every folder it can reopen.
        auto shed = [&] { limitOpenDescriptors(0); };
        platform::Fd childFd = openFolderWaiting(context_, fd, name, shed);
        if (!childFd) {
            if (errno == ENOENT || errno == ENOTDIR) return; // gone or replaced since the listing
            if (stoppedWaiting()) return addChildless();
            denyEntry();
            return addChildless(true);
        }
        folderBytes_ += platform::allocatedBytesOf(info);
        // A subfolder that is all this walker has left is never handed away: that would only
        // trade one walker for another, level by level down a chain.
        std::optional<ConcurrencyBudget::Permit> permit;
        if (framesWithEntriesLeft_ > 0) permit = context_.budget.tryAcquire();
        if (permit) {
            Frame& frame = frames_[index];
            // The task owns the descriptor, the permit and the slot, so all go back however it
            // ends, even when it never runs: a task that cannot be started gives its slot up
            // empty, and the folder counts as cut short.
            auto job = ChildJob::slotIn(frame, std::move(childFd), std::move(*permit));
            context_.tasks->run([&context = context_, job, childPath = frame.folderPath.child(name), date,
                                 placement, topLevelName = topLevelName_] {
                walkDirectory(context, std::move(job->fd), childPath, childPath.name(), date, placement,
                              topLevelName, std::move(job->sink));
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
        skipRemainingEntries(frames_[index]);
        closeFrame(frames_[index]);
        std::optional<FileNode> node;
        bool held = false;
        if (!handOver(index, NodeSink{})) {
            held = frames_[index].holdsDenied;
            node = assembleFolder(frames_[index], nameOf(index));
        }
        frames_.pop_back();
        closeCursor_ = std::min(closeCursor_, frames_.size() - 1);
        if (node) frames_.back().addNode(std::move(*node), held);
    }

    // Pops the top frame; one whose folder failed as it was being finished cannot be kept in
    // part, so it goes, denied, and the walk goes on in the folder above.
    void finishTopFrame() noexcept {
        const size_t index = frames_.size() - 1;
        try {
            return popFrame();
        } catch (...) {
        }
        noteCutShort();
        // Popped already, its node lost on the way into the folder above.
        if (frames_.size() == index) return;
        if (lastCountedFrame_ == static_cast<long>(index)) lastCountedFrame_ = -1;
        skipRemainingEntries(frames_[index]);
        closeFrame(frames_[index]);
        frames_.pop_back();
        closeCursor_ = std::min(closeCursor_, frames_.size() - 1);
        frames_.back().holdsDenied = true;
    }

    // A folder whose subfolders' walks have not all ended is handed over to them: the last to
    // end builds its node and hands it to `sink` (for an inner frame, a slot of the frame
    // above). False, with the nodes already delivered among the frame's children, when every
    // such walk has ended, so the walker builds the node itself.
    bool handOver(size_t index, NodeSink sink, bool isPart = false) {
        Frame& frame = frames_[index];
        if (!frame.waiting) return false;
        if (frame.waiting->outstanding.load(std::memory_order_acquire) == 1) {
            // Nobody else writes to the slots any more.
            takeDeliveredNodes(frame, *frame.waiting);
            frame.waiting.reset();
            return false;
        }
        // Made before the slot above is taken: a slot never filled would leave that folder waiting.
        std::string name(nameOf(index));
        if (!sink.folder && !sink.top && index > 0) sink = frames_[index - 1].awaitOneMore();
        std::shared_ptr<PendingFolder> folder = std::move(frame.waiting);
        folder->name = std::move(name);
        folder->sink = std::move(sink);
        folder->isPart = isPart;
        folder->frame = std::move(frame);
        releaseWalkerShare(std::move(folder));
        return true;
    }

    // Hands the later half of the top folder's entries to a walk of their own when the scan
    // has room for one.
    void shareOutEntries() {
        const size_t index = frames_.size() - 1;
        std::optional<ShareRoom> room = roomForShare(index);
        if (!room) return;
        Frame& frame = frames_[index];
        const size_t kept = frame.entriesLeft / 2;
        size_t cut = frame.nextEntry;
        for (size_t i = 0; i < kept; ++i)
            cut += std::strlen(frame.listing.data() + cut) + 1;
        auto names =
            std::make_shared<EntryShare>(EntryShare{frame.listing.substr(cut), frame.entriesLeft - kept});
        auto job = ChildJob::slotIn(frame, std::move(room->fd), std::move(room->permit));
        // The names go before the task is started, so no entry is ever walked twice; a task
        // that cannot be started cuts the folder short, as any failure in the walk does. The
        // listing keeps its buffer: making it smaller would copy the names kept each time the
        // folder is shared out again, and leave the freed buffers resident.
        frame.listing.resize(cut);
        frame.entriesLeft = kept;
        startShare(index, std::move(job), std::move(names));
    }

    // Hands every entry listed so far to a walk of their own, while the rest of the listing is
    // still being read, when the scan has room for one: reading the names of half a million
    // entries takes one core a tenth of a second, in which the others would otherwise idle.
    void shareOutListed(size_t index) {
        std::optional<ShareRoom> room = roomForShare(index);
        if (!room) return;
        Frame& frame = frames_[index];
        auto names = std::make_shared<EntryShare>();
        auto job = ChildJob::slotIn(frame, std::move(room->fd), std::move(room->permit));
        names->names.swap(frame.listing);
        names->count = std::exchange(frame.entriesLeft, 0);
        startShare(index, std::move(job), std::move(names));
    }

    struct ShareRoom {
        ConcurrencyBudget::Permit permit;
        platform::Fd fd;
    };

    // A permit for one more walk and a descriptor of the folder at `index` of its own, so this
    // walker may close or reopen its own; nothing when the scan has no room or no descriptor
    // to spare, and the walker goes on alone. Folders on the way to a watched one keep their
    // entries: those carry marks by position.
    std::optional<ShareRoom> roomForShare(size_t index) {
        const Frame& frame = frames_[index];
        if (frame.placement.onRoute || !frame.foreignMounts.empty()) return std::nullopt;
        if (!frame.fd) return std::nullopt; // reopened only when its next entry needs it
        std::optional<ConcurrencyBudget::Permit> permit = context_.budget.tryAcquire();
        if (!permit) return std::nullopt;
        platform::Fd fd = context_.host.openDirectoryAt(frame.fd.get(), ".");
        if (!fd) return std::nullopt;
        return ShareRoom{std::move(*permit), std::move(fd)};
    }

    void startShare(size_t index, std::shared_ptr<ChildJob> job, std::shared_ptr<EntryShare> names) {
        const Frame& frame = frames_[index];
        context_.tasks->run([&context = context_, job, names, folderPath = frame.folderPath,
                             date = frame.date, placement = frame.placement,
                             name = std::string(nameOf(index)), topLevelName = topLevelName_] {
            walkFolder(context, std::move(job->fd), folderPath, name, date, placement, topLevelName,
                       std::move(job->sink), names.get());
            job->permit.reset();
        });
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

    void skipRemainingEntries(Frame& frame) noexcept {
        if (frame.nextEntry < frame.listing.size()) {
            frame.nextEntry = frame.listing.size();
            frame.entriesLeft = 0;
            --framesWithEntriesLeft_;
        }
        notePending(frame);
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

    // A wait for a descriptor that the scan's cancellation cut short: the folder was not
    // refused, so it is not reported denied.
    bool stoppedWaiting() const { return platform::isDescriptorShortage(errno) && context_.isCancelled(); }

    std::string lastCountedPath() const {
        if (lastCountedFrame_ >= 0) {
            const auto index = static_cast<size_t>(lastCountedFrame_);
            return entryPath(index, frames_[index].listing.data() + lastCountedOffset_);
        }
        return appendingPathComponent(lastCountedFolder_.text(), lastCountedName_);
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
    size_t framesWithEntriesLeft_ = 0; // frames whose listing has entries not yet taken
    int64_t bytes_ = 0;
    int64_t files_ = 0;
    int64_t folderBytes_ = 0; // the own blocks of the folders this walker opened
    long lastCountedFrame_ = -1;
    size_t lastCountedOffset_ = 0;
    FolderPath lastCountedFolder_;
    std::string lastCountedName_;
};

void walkFolder(ScanContext& context, platform::Fd directory, const FolderPath& folderPath,
                std::string_view name, std::optional<Date> modificationDate, Placement placement,
                const std::string& topLevelName, NodeSink sink, EntryShare* share) noexcept {
    platform::lowerThisThreadToBackground();
    const detail::NodeArenaScope arena;
    try {
        Walker walker(context, name, topLevelName);
        walker.walk(std::move(directory), folderPath, modificationDate, placement, std::move(sink), share);
    } catch (...) {
        // Only making the walker can fail here, and then nothing was walked or handed on.
        deliverNode(std::move(sink), std::nullopt, true);
    }
}

} // namespace

void walkDirectory(ScanContext& context, platform::Fd directory, const FolderPath& folderPath,
                   std::string_view name, std::optional<Date> modificationDate, Placement placement,
                   const std::string& topLevelName, NodeSink sink) noexcept {
    walkFolder(context, std::move(directory), folderPath, name, modificationDate, placement, topLevelName,
               std::move(sink), nullptr);
}

} // namespace quillmere
