#pragma once

#include "base/FunctionRef.hpp"
#include "platform/ScanHost.hpp"
#include "scan/ScanRecords.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
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
    void appendDeniedPaths(std::vector<DeniedPath> paths);
    void appendDeniedPath(DeniedPath path);
    std::vector<DeniedPath> deniedPaths() const;

private:
    void emitIfDue(FunctionRef<std::string()> currentPath);

    mutable std::mutex lock_;
    std::shared_ptr<ScanEventChannel> channel_;
    int batchSize_;
    int64_t bytesScanned_ = 0;
    int64_t filesScanned_ = 0;
    int64_t filesSinceLastEmit_ = 0;
    std::map<std::string, int64_t, std::less<>> topLevelBytes_;
    std::vector<DeniedPath> deniedPaths_;
};

// Who owns shared bytes: the first walker to meet a hard-linked inode or a cloned
// extent counts it; every later sighting is marked shared elsewhere.
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

    // True when already seen; otherwise remembers it and answers false.
    [[nodiscard]] bool checkAndInsertIdentity(const Identity& identity);
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
    std::mutex lock_;
    std::unordered_set<Identity, Hash> identities_;
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
    // A permit when a unit is free.
    [[nodiscard]] std::optional<Permit> tryAcquire() {
        std::lock_guard guard(lock_);
        if (remaining_ <= 0) return std::nullopt;
        --remaining_;
        return Permit(*this);
    }
    [[nodiscard]] int remaining() const {
        std::lock_guard guard(lock_);
        return remaining_;
    }
    // max(4 × active processors, 8)
    [[nodiscard]] static int unitsFor(int activeProcessors) { return std::max(4 * activeProcessors, 8); }

private:
    void release() noexcept {
        std::lock_guard guard(lock_);
        ++remaining_;
    }
    mutable std::mutex lock_;
    int remaining_;
};

} // namespace quillmere
