#include "views/ClickTracker.hpp"

namespace quillmere::views {

ClickTracker::ClickTracker(Clock clock, std::chrono::milliseconds interval)
    : clock_(std::move(clock)), interval_(interval) {}

bool ClickTracker::registerClick(const std::string& itemID) {
    const auto now = clock_();
    const bool isDouble = lastTime_ && now - *lastTime_ <= interval_ && lastItem_ == itemID;
    if (isDouble) {
        lastTime_.reset();
        lastItem_.reset();
    } else {
        lastTime_ = now;
        lastItem_ = itemID;
    }
    return isDouble;
}

} // namespace quillmere::views
