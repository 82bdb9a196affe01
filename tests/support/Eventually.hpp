#pragma once

// Waiting on a condition in tests that have no event loop to turn: the condition is asked
// again every few milliseconds until it holds. The limit only keeps a broken run from hanging;
// it is generous so a machine loaded to several times its cores still gets there.

#include <chrono>
#include <thread>

namespace quillmere::testing {

inline constexpr std::chrono::milliseconds kEventuallyLimit = std::chrono::seconds(30);

// Whether `done` held before `limit` passed; it is asked once more at the end.
template <class Condition>
bool eventually(Condition done, std::chrono::milliseconds limit = kEventuallyLimit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace quillmere::testing
