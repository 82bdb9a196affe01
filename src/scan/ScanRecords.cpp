#include "scan/ScanRecords.hpp"

namespace quillmere {

bool ScanEventChannel::yield(ScanEvent event) {
    {
        std::lock_guard guard(lock_);
        if (terminated_ || finished_) return false;
        const bool supersedes = std::holds_alternative<ScanProgress>(event) && queue_.size() >= kCapacity &&
                                std::holds_alternative<ScanProgress>(queue_.back());
        if (supersedes)
            queue_.back() = std::move(event);
        else
            queue_.push_back(std::move(event));
    }
    ready_.notify_one();
    return true;
}

void ScanEventChannel::finish() {
    {
        std::lock_guard guard(lock_);
        finished_ = true;
    }
    ready_.notify_all();
}

bool ScanEventChannel::isTerminated() const {
    std::lock_guard guard(lock_);
    return terminated_;
}

std::optional<ScanEvent> ScanEventChannel::next() {
    std::unique_lock guard(lock_);
    ready_.wait(guard, [&] { return !queue_.empty() || finished_ || terminated_; });
    if (queue_.empty()) return std::nullopt;
    ScanEvent event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void ScanEventChannel::terminate() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
        queue_.clear();
    }
    ready_.notify_all();
}

} // namespace quillmere
