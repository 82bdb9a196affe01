#include "access/HelperConnection.hpp"

#include "access/HelperWire.hpp"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>

namespace quillmere {

namespace {
constexpr const char* kInterrupted = "The connection to the helper was interrupted.";
constexpr const char* kInvalidated = "The connection to the helper was invalidated.";

ExchangeFailure malformed() {
    return {"The helper sent a malformed message."};
}

std::string secondsText(std::chrono::milliseconds limit) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

// A reply's optional text field: missing or null is nothing; anything but a string is a fault.
bool readOptionalText(const nlohmann::json& object, const char* key, std::optional<std::string>& out) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return true;
    if (!it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}
} // namespace

HelperConnection::HelperConnection(platform::Fd socket)
    : socket_(std::move(socket)), reader_([this] { readReplies(); }) {}

HelperConnection::~HelperConnection() {
    invalidate();
    reader_.join();
}

void HelperConnection::invalidate() {
    std::shared_ptr<WalkGuard> waiting;
    {
        std::lock_guard lock(stateLock_);
        if (invalidated_) return;
        invalidated_ = true;
        waiting = pending_;
    }
    if (waiting) waiting->claim(ExchangeFailure{kInvalidated});
    ::shutdown(socket_.get(), SHUT_RDWR);
}

bool HelperConnection::isStale() const {
    {
        std::lock_guard lock(stateLock_);
        if (invalidated_ || ended_) return true;
    }
    pollfd entry{socket_.get(), POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) != 0;
}

WalkAnswer HelperConnection::walk(const std::string& path, std::chrono::milliseconds limit) {
    std::lock_guard oneAtATime(walkMutex_);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const int64_t id = ++lastId_;
    auto guard = std::make_shared<WalkGuard>();
    {
        std::lock_guard lock(stateLock_);
        if (invalidated_ || ended_) {
            guard->claim(endFault());
        } else {
            pending_ = guard;
            pendingId_ = id;
        }
    }
    if (!guard->isClaimed()) {
        const std::string request =
            nlohmann::json{{"id", id}, {"selector", kHelperWalkSelector}, {"path", path}}.dump();
        if (!sendAll(socket_.get(), framed(request), monotonicMs() + limit.count())) {
            std::lock_guard lock(stateLock_);
            guard->claim(endFault());
        }
    }
    WalkAnswer answer = std::move(guard->await(
        deadline,
        ExchangeFailure{"The helper did not answer within " + secondsText(limit) + " seconds.", true}));
    {
        std::lock_guard lock(stateLock_);
        if (pending_ == guard) pending_.reset();
    }
    return answer;
}

// Reads frames until the connection ends, handing the waiting walk its reply. A second
// reply, or one to a walk that has given up, is not anyone's and is dropped.
void HelperConnection::readReplies() {
    try {
        for (;;) {
            auto frame = readFrame(socket_.get(), kHelperReplyLimit, -1);
            if (!frame) {
                if (frame.error() == FrameFault::tooLong) return end(malformed());
                return end(ExchangeFailure{kInterrupted});
            }
            const auto message = nlohmann::json::parse(*frame, nullptr, false);
            if (message.is_discarded() || !message.is_object()) return end(malformed());
            const auto idField = message.find("id");
            if (idField == message.end() || !idField->is_number_integer()) return end(malformed());
            std::shared_ptr<WalkGuard> waiting;
            {
                std::lock_guard lock(stateLock_);
                if (pending_ && pendingId_ == idField->get<int64_t>()) waiting = pending_;
            }
            if (!waiting) continue;
            HelperReply reply;
            if (!readOptionalText(message, "data", reply.data) ||
                !readOptionalText(message, "error", reply.error))
                return end(malformed());
            waiting->claim(std::move(reply));
        }
    } catch (const std::exception&) {
        // Out of memory on a huge reply: this connection cannot go on.
        end(ExchangeFailure{kInterrupted});
    }
}

// The connection is over: the waiting walk, and any that comes later, gets `fault`.
void HelperConnection::end(ExchangeFailure fault) {
    std::shared_ptr<WalkGuard> waiting;
    {
        std::lock_guard lock(stateLock_);
        if (!ended_) ended_ = invalidated_ ? ExchangeFailure{kInvalidated} : std::move(fault);
        fault = *ended_;
        waiting = pending_;
    }
    if (waiting) waiting->claim(std::move(fault));
}

// Why the connection ended, as a walk learns it; stateLock_ is held.
ExchangeFailure HelperConnection::endFault() const {
    if (invalidated_) return {kInvalidated};
    if (ended_) return *ended_;
    return {kInterrupted};
}

} // namespace quillmere
