#include "access/HelperConnection.hpp"

#include "access/HelperWire.hpp"
#include "access/PrivilegedTreeDecoder.hpp"

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

WalkAnswer HelperConnection::walk(const PrivilegedReplyBounds& bounds, std::chrono::milliseconds limit) {
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
            pendingBounds_ = bounds;
        }
    }
    if (!guard->isClaimed()) {
        const std::string request =
            nlohmann::json{{"id", id}, {"selector", kHelperWalkSelector}, {"path", bounds.askedPath}}.dump();
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

// Reads frames until the connection ends, handing the waiting walk its reply. A frame that is
// no waiting walk's reply (a second one, another request's id) is a broken protocol.
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
            PrivilegedReplyBounds bounds;
            {
                std::lock_guard lock(stateLock_);
                if (pending_ && !pending_->isClaimed() && pendingId_ == idField->get<int64_t>()) {
                    waiting = pending_;
                    bounds = pendingBounds_;
                }
            }
            if (!waiting) return end(malformed());
            std::optional<HelperReply> reply = replyFrom(message, bounds);
            if (!reply) return;
            waiting->claim(std::move(*reply));
        }
    } catch (const std::exception&) {
        // Out of memory on a huge reply: this connection cannot go on.
        end(ExchangeFailure{kInterrupted});
    }
}

namespace {
// The chunks of one walked record, read from the socket as the decoder asks for them.
class ChunkSource final : public PrivilegedReplySource {
public:
    struct Broken {
        ExchangeFailure fault;
    };
    explicit ChunkSource(int socket) : socket_(socket) {}

    std::string_view next() override {
        while (!ended_) {
            auto frame = readFrame(socket_, kHelperChunkBytes + 1, -1);
            if (!frame) {
                if (frame.error() == FrameFault::tooLong) throw Broken{malformed()};
                throw Broken{{kInterrupted}};
            }
            chunk_ = std::move(*frame);
            if (chunk_.empty()) throw Broken{malformed()};
            received_ += chunk_.size() - 1;
            if (received_ > kHelperRecordLimit) throw Broken{malformed()};
            const std::string_view bytes = std::string_view(chunk_).substr(1);
            switch (chunk_[0]) {
            case kChunkData:
                if (!bytes.empty()) return bytes;
                break;
            case kChunkEnd:
                ended_ = true;
                break;
            case kChunkAbort:
                ended_ = true;
                abort_ = std::string(bytes);
                break;
            default:
                throw Broken{malformed()};
            }
        }
        return {};
    }
    // Reads what is left of the record, dropping it, so that the connection can go on.
    void drain() {
        while (!ended_)
            next();
    }
    const std::optional<std::string>& abort() const { return abort_; }

private:
    int socket_;
    std::string chunk_;
    uint64_t received_ = 0;
    bool ended_ = false;
    std::optional<std::string> abort_;
};
} // namespace

std::optional<HelperReply> HelperConnection::replyFrom(const nlohmann::json& message,
                                                       const PrivilegedReplyBounds& bounds) {
    HelperReply reply;
    if (!readOptionalText(message, "error", reply.error)) {
        end(malformed());
        return std::nullopt;
    }
    const auto chunks = message.find("chunks");
    if (chunks == message.end() || chunks->is_null() || *chunks == false) return reply;
    if (!chunks->is_boolean()) {
        end(malformed());
        return std::nullopt;
    }
    ChunkSource source(socket_.get());
    try {
        // A decline wins over a record sent with it, which is read past unlooked at.
        if (reply.error) {
            source.drain();
            return reply;
        }
        auto tree = decodePrivilegedTree(source, bounds);
        source.drain();
        if (source.abort()) {
            reply.error = *source.abort();
        } else if (tree) {
            reply.tree = std::move(*tree);
        } else {
            reply.undecodable = tree.error();
        }
    } catch (const ChunkSource::Broken& broken) {
        end(broken.fault);
        return std::nullopt;
    }
    return reply;
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
