#pragma once

#include "base/FunctionRef.hpp"
#include "platform/ScanHost.hpp"
#include "scan/PackedNames.hpp"
#include "scan/ScanRecords.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillmere {

// Counts what a scan's walkers have sized and turns the counts into progress events,
// one for about every `batchSize` files. Events are yielded under the lock, so they
// leave in the order of their totals.
class ScanAccumulator {
public:
    static constexpr int64_t kWideRootEntries = 4096;

    ScanAccumulator(std::shared_ptr<ScanEventChannel> channel, int batchSize)
        : channel_(std::move(channel)), batchSize_(batchSize < 1 ? 1 : batchSize) {}

    // `currentPath` is asked only when an event leaves, so deep walks build no text for nothing.
    void record(int64_t bytes, int64_t files, const std::string& topLevelName,
                FunctionRef<std::string()> currentPath);
    // Records leaves of the root itself, one file each: their names and counted bytes.
    void recordTopLevel(int64_t bytes, std::span<const std::pair<std::string_view, int64_t>> leaves,
                        FunctionRef<std::string()> currentPath);
    // The walk is over: no event shows the root's entries again, so their names and totals go.
    void forgetRootEntries();
    void appendDeniedPaths(std::vector<DeniedPath> paths);
    void appendDeniedPath(DeniedPath path);
    std::vector<DeniedPath> deniedPaths() const;

private:
    void emitIfDue(FunctionRef<std::string()> currentPath);
    std::map<std::string, int64_t> topLevelTotals() const;

    mutable std::mutex lock_;
    std::shared_ptr<ScanEventChannel> channel_;
    int batchSize_;
    int64_t bytesScanned_ = 0;
    int64_t filesScanned_ = 0;
    int64_t filesSinceLastEmit_ = 0;
    std::map<std::string, int64_t, std::less<>> topLevelBytes_;
    // The root's own leaves, each met once, kept as names in one buffer rather than as map
    // nodes: a root of half a million files would otherwise hold about as much again as its tree.
    PackedNames leafNames_;
    std::vector<int64_t> leafBytes_; // one for each of leafNames_
    std::vector<DeniedPath> deniedPaths_;
};

// Who owns shared bytes. A hard-linked inode's bytes go to the path of it that sorts first
// (byte order), decided once the walk is over, so the same disk gives the same folder totals
// whichever walker met which link first. A cloned extent is counted for the first file met with it.
class SharingRegistry {
public:
    struct Identity {
        uint64_t device;
        uint64_t inode;
        bool operator==(const Identity&) const = default;
    };
    struct ExtentKey {
        uint64_t device;
        int64_t physicalOffset;
        int64_t length;
        bool operator==(const ExtentKey&) const = default;
    };

    // The path of a hard-linked inode that owns its bytes, and how many of them it counts.
    struct LinkOwner {
        std::string path;
        int64_t bytes = 0;            // the file's allocated bytes
        int64_t countedElsewhere = 0; // of those, bytes in extents another file already counted
        bool operator==(const LinkOwner&) const = default;
    };

    // Notes one path of a hard-linked inode of `bytes` bytes, keeping the one that sorts first.
    // True the first time the inode is met (its clone extents are asked then, and progress
    // counts its bytes then).
    bool noteLinkedPath(const Identity& identity, std::string path, int64_t bytes);
    // Of the inode's bytes, those that earlier files' shared extents already counted.
    void noteLinkedBytesCountedElsewhere(const Identity& identity, int64_t bytes);
    // Of every inode noted, the path that owns its bytes, moved out: once the walk is over, the
    // registry is no longer asked (thousands of paths would otherwise be copied as it ends).
    [[nodiscard]] std::vector<LinkOwner> takeLinkOwners();
    // The bytes of these shared extents that an earlier file already counted; remembers the
    // others as counted now.
    [[nodiscard]] int64_t bytesCountedBefore(uint64_t device,
                                             std::span<const platform::SharedExtent> extents);

private:
    struct Hash {
        size_t operator()(const Identity& i) const {
            return std::hash<uint64_t>()(i.inode * 0x9E3779B97F4A7C15ULL ^ i.device);
        }
        size_t operator()(const ExtentKey& k) const {
            return std::hash<uint64_t>()(static_cast<uint64_t>(k.physicalOffset) * 0x9E3779B97F4A7C15ULL ^
                                         static_cast<uint64_t>(k.length) ^ (k.device << 7));
        }
    };
    // Inodes are spread over shards of their own lock: in a folder of hard links every entry
    // is noted, by every walker its entries are shared among, and one lock for all of them
    // kept the walkers queueing for it.
    static constexpr size_t kLinkShards = 64;
    struct alignas(64) LinkShard {
        std::mutex lock;
        std::unordered_map<Identity, LinkOwner, Hash> owners;
    };
    LinkShard& shardOf(const Identity& identity) {
        return linkShards_[(Hash{}(identity) >> 32) % kLinkShards];
    }

    std::array<LinkShard, kLinkShards> linkShards_;
    std::mutex extentsLock_;
    std::unordered_set<ExtentKey, Hash> extents_;
};

// The child walks one scan may have started and not yet finished.
class ConcurrencyBudget {
public:
    // One unit of the budget, given back when the permit goes.
    class Permit {
    public:
        Permit(Permit&& other) noexcept : budget_(std::exchange(other.budget_, nullptr)) {}
        Permit& operator=(Permit&& other) noexcept {
            if (this != &other) {
                reset();
                budget_ = std::exchange(other.budget_, nullptr);
            }
            return *this;
        }
        Permit(const Permit&) = delete;
        Permit& operator=(const Permit&) = delete;
        ~Permit() { reset(); }
        void reset() noexcept {
            if (budget_) std::exchange(budget_, nullptr)->release();
        }

    private:
        friend class ConcurrencyBudget;
        explicit Permit(ConcurrencyBudget& budget) : budget_(&budget) {}
        ConcurrencyBudget* budget_;
    };

    explicit ConcurrencyBudget(int units) : remaining_(units) {}
    // A permit when a unit is free. Every walker asks at every folder it meets, mostly when
    // none is free: that answer only reads, so it leaves the other walkers' caches alone.
    [[nodiscard]] std::optional<Permit> tryAcquire() {
        int units = remaining_.load(std::memory_order_relaxed);
        while (units > 0)
            if (remaining_.compare_exchange_weak(units, units - 1, std::memory_order_acquire,
                                                 std::memory_order_relaxed))
                return Permit(*this);
        return std::nullopt;
    }
    [[nodiscard]] int remaining() const { return remaining_.load(std::memory_order_acquire); }
    // max(4 × active processors, 8)
    [[nodiscard]] static int unitsFor(int activeProcessors) { return std::max(4 * activeProcessors, 8); }

private:
    void release() noexcept { remaining_.fetch_add(1, std::memory_order_release); }
    // A cache line of its own: it changes as walks start and end, while what lies beside it
    // in a scan's shared state is read at every entry.
    alignas(64) std::atomic<int> remaining_;
};

} // namespace quillmere
