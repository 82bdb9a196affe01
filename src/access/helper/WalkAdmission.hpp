#pragma once

#include "base/FunctionRef.hpp"

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <sys/types.h>

namespace quillmere {

// Who the helper serves at once, so that no user, and no folder that stopped answering, keeps
// the others waiting: connections per user and in all, walks per user and in all, and walks
// that were left behind stuck in the kernel.
class WalkAdmission {
public:
    struct Limits {
        std::size_t connections = 128;
        std::size_t connectionsPerUser = 48;
        std::size_t walks = 4;
        std::size_t walksPerUser = 2;
        std::size_t walksLeftBehind = 8;
    };
    explicit WalkAdmission(Limits limits) : limits_(limits) {}

    // False when the helper or this user has all the connections allowed.
    bool admitConnection(uid_t user);
    void connectionClosed(uid_t user);
    std::size_t connections() const;

    enum class Turn { granted, clientLeft, overloaded };
    // Waits for the user's turn to walk; `clientLeft` is asked now and then, and ends the wait.
    // Overloaded when too many walks are stuck to start another.
    Turn awaitWalk(uid_t user, FunctionRef<bool()> clientLeft);
    // The walk is over. When no walk remains, the memory walks used goes back to the system.
    void walkEnded(uid_t user);
    // A walk that could not be stopped is left behind: it no longer counts as running, but as
    // stuck until it ends by itself.
    void walkLeftBehind(uid_t user);
    void leftBehindWalkEnded();
    std::size_t walksLeftBehind() const;

private:
    Limits limits_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::size_t connections_ = 0;
    std::map<uid_t, std::size_t> connectionsOf_;
    std::size_t walks_ = 0;
    std::map<uid_t, std::size_t> walksOf_;
    std::size_t leftBehind_ = 0;
};

} // namespace quillmere
