#pragma once
// Work items walked at most so many at once, without the one who hands them out ever waiting:
// an item either claims a free lane or waits in line, and a lane that finishes an item takes
// the next in line on the same thread, until none is left.
#include <algorithm>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace quillmere {

template <class Item> class LaneQueue {
public:
    explicit LaneQueue(size_t lanes) : lanes_(std::max<size_t>(lanes, 1)) {}

    // True when `item` claimed a lane, which the caller then starts with it; false when it
    // was put in line for a lane to take.
    [[nodiscard]] bool claimOrQueue(Item item) {
        std::lock_guard guard(lock_);
        if (running_ < lanes_) {
            ++running_;
            return true;
        }
        queued_.push_back(std::move(item));
        return false;
    }

    // For a lane that finished an item: the next in line, or nothing, the lane then given up.
    [[nodiscard]] std::optional<Item> next() noexcept {
        std::lock_guard guard(lock_);
        if (queued_.empty()) {
            --running_;
            return std::nullopt;
        }
        std::optional<Item> item(std::move(queued_.front()));
        queued_.pop_front();
        return item;
    }

    // Gives up a lane claimed by claimOrQueue that could not be started.
    void release() noexcept {
        std::lock_guard guard(lock_);
        --running_;
    }

private:
    const size_t lanes_;
    std::mutex lock_;
    size_t running_ = 0;
    std::deque<Item> queued_;
};

} // namespace quillmere
