#pragma once

#include "access/PrivilegedNode.hpp"
#include "access/ResumeGuard.hpp"
#include "platform/Fd.hpp"
#include "scan/FileNode.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <thread>
#include <variant>

namespace quillmere {

// The helper's answer to one walk: the walked tree, decoded as it came in, or why there is
// none (the helper declined, or sent a record that does not decode; or neither).
struct HelperReply {
    std::optional<FileNode> tree;
    std::optional<std::string> error;
    std::optional<PrivilegedNodeFault> undecodable;
};

// Why a walk got no reply, as the log says it.
struct ExchangeFailure {
    std::string description;
    bool timedOut = false;
};

using WalkAnswer = std::variant<HelperReply, ExchangeFailure>;

// One socket to the helper and the thread that reads it. A walk's answer is claimed by the
// first of the helper's reply, the end of the connection (an invalidation from any thread
// among them) and the walk's time limit; whichever comes first wakes the walk at once. The
// reading thread decodes a walked record straight into the tree as its chunks arrive. A frame
// that answers no waiting walk (another request's id, a second reply) breaks the protocol and
// ends the connection at once.
class HelperConnection {
public:
    // `socket` is connected and non-blocking.
    explicit HelperConnection(platform::Fd socket);
    ~HelperConnection();
    HelperConnection(const HelperConnection&) = delete;
    HelperConnection& operator=(const HelperConnection&) = delete;

    // Ends the connection from any thread; a waiting walk gets "invalidated" at once.
    void invalidate();
    // Whether the helper closed, or broke, a connection idle since the last walk; either way
    // it is not reused.
    bool isStale() const;
    // Sends one walk request for `bounds.askedPath` and waits for its answer, at most `limit`.
    // One walk at a time.
    WalkAnswer walk(const PrivilegedReplyBounds& bounds, std::chrono::milliseconds limit);

private:
    using WalkGuard = ResumeGuard<WalkAnswer>;

    void readReplies();
    // The reply whose first frame was `message`, to the walk waiting with `bounds`; nothing
    // when the connection cannot go on.
    std::optional<HelperReply> replyFrom(const nlohmann::json& message, const PrivilegedReplyBounds& bounds);
    void end(ExchangeFailure fault);
    ExchangeFailure endFault() const;

    platform::Fd socket_;
    std::mutex walkMutex_;
    int64_t lastId_ = 0; // under walkMutex_
    mutable std::mutex stateLock_;
    bool invalidated_ = false;
    std::optional<ExchangeFailure> ended_;
    std::shared_ptr<WalkGuard> pending_;
    int64_t pendingId_ = 0;
    PrivilegedReplyBounds pendingBounds_;
    std::thread reader_; // last: it starts once everything above is in place
};

} // namespace quillmere
