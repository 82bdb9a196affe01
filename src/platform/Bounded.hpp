#pragma once

// Calls that can stay in the kernel for as long as a file system does not answer (a FUSE
// daemon that was stopped, a network share whose server went away), made with a time limit.
// The call runs on a thread of its own; when it has not answered in time the caller goes on
// without it, and the thread is left to finish whenever the file system answers, its value
// then dropped. Whatever the call touches must therefore be owned by the call itself.

#include "platform/Thread.hpp"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/statvfs.h>

namespace quillmere::platform {

// How long one file system is given to answer a question before it counts as not responding.
inline constexpr std::chrono::milliseconds kFileSystemAnswerLimit{2000};

// The value of `call`, or nothing when it has not returned within `limit` (or no thread could
// be started for it). A call that throws counts as not answering.
template <class T> std::optional<T> callWithin(std::chrono::milliseconds limit, std::function<T()> call) {
    struct Answer {
        std::mutex lock;
        std::condition_variable ready;
        std::optional<T> value;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    const bool started = startDetachedThread(
        [answer, call = std::move(call)] {
            std::optional<T> value;
            try {
                value.emplace(call());
            } catch (...) {
            }
            std::lock_guard guard(answer->lock);
            answer->value = std::move(value);
            answer->done = true;
            answer->ready.notify_all();
        },
        512 * 1024);
    if (!started) return std::nullopt;
    std::unique_lock guard(answer->lock);
    if (!answer->ready.wait_for(guard, limit, [&] { return answer->done; })) return std::nullopt;
    return std::move(answer->value);
}

// statvfs(2) of `path` within `limit`: 0, or -1 with errno (ETIMEDOUT when the file system did
// not answer in time).
int statVfsWithin(const char* path, struct statvfs* info, std::chrono::milliseconds limit);

} // namespace quillmere::platform
