#include "access/helper/WalkAdmission.hpp"

#include <chrono>
#include <malloc.h>

namespace quillmere {

bool WalkAdmission::admitConnection(uid_t user) {
    std::lock_guard guard(lock_);
    std::size_t& own = connectionsOf_[user];
    if (connections_ >= limits_.connections || own >= limits_.connectionsPerUser) return false;
    ++own;
    ++connections_;
    return true;
}

void WalkAdmission::connectionClosed(uid_t user) {
    std::lock_guard guard(lock_);
    --connections_;
    if (--connectionsOf_[user] == 0) connectionsOf_.erase(user);
}

std::size_t WalkAdmission::connections() const {
    std::lock_guard guard(lock_);
    return connections_;
}

WalkAdmission::Turn WalkAdmission::awaitWalk(uid_t user, FunctionRef<bool()> clientLeft) {
    std::unique_lock guard(lock_);
    for (;;) {
        if (leftBehind_ >= limits_.walksLeftBehind) return Turn::overloaded;
        std::size_t& own = walksOf_[user];
        if (walks_ < limits_.walks && own < limits_.walksPerUser) {
            ++own;
            ++walks_;
            return Turn::granted;
        }
        changed_.wait_for(guard, std::chrono::milliseconds(100));
        guard.unlock();
        const bool left = clientLeft();
        guard.lock();
        if (left) return Turn::clientLeft;
    }
}

void WalkAdmission::walkEnded(uid_t user) {
    bool idle = false;
    {
        std::lock_guard guard(lock_);
        --walks_;
        if (--walksOf_[user] == 0) walksOf_.erase(user);
        idle = walks_ == 0;
    }
    changed_.notify_all();
    // A walk's tree is freed by now; without this the allocator keeps its pages for the next.
    if (idle) ::malloc_trim(0);
}

void WalkAdmission::walkLeftBehind(uid_t user) {
    {
        std::lock_guard guard(lock_);
        ++leftBehind_;
    }
    walkEnded(user);
}

void WalkAdmission::leftBehindWalkEnded() {
    {
        std::lock_guard guard(lock_);
        --leftBehind_;
    }
    changed_.notify_all();
}

std::size_t WalkAdmission::walksLeftBehind() const {
    std::lock_guard guard(lock_);
    return leftBehind_;
}

} // namespace quillmere
