#include "access/HelperWire.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>

namespace quillmere {

namespace {
// The poll timeout until `deadlineMs` (negative: for ever), a minute at most at a time;
// nothing once the deadline has passed.
std::optional<int> pollTimeout(int64_t deadlineMs) {
    if (deadlineMs < 0) return -1;
    const int64_t left = deadlineMs - monotonicMs();
    if (left <= 0) return std::nullopt;
    return static_cast<int>(std::min<int64_t>(left, 60'000));
}

// Waits until `fd` is readable; the fault when the deadline passed first.
std::optional<FrameFault> awaitReadable(int fd, int64_t deadlineMs) {
    for (;;) {
        const std::optional<int> timeout = pollTimeout(deadlineMs);
        if (!timeout) return FrameFault::timedOut;
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, *timeout);
        if (ready > 0) return std::nullopt;
        if (ready < 0 && errno != EINTR) return FrameFault::interrupted;
    }
}

// Reads exactly `count` bytes into `out` (appending), growing it as bytes arrive.
std::optional<FrameFault> readExactly(int fd, std::string& out, std::size_t count, int64_t deadlineMs,
                                      bool atFrameStart) {
    std::array<char, 64 * 1024> chunk;
    std::size_t got = 0;
    while (got < count) {
        if (auto fault = awaitReadable(fd, deadlineMs)) return fault;
        const std::size_t want = std::min(chunk.size(), count - got);
        const ssize_t n = ::recv(fd, chunk.data(), want, MSG_DONTWAIT);
        if (n == 0) return atFrameStart && got == 0 ? FrameFault::closed : FrameFault::interrupted;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return FrameFault::interrupted;
        }
        out.append(chunk.data(), static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}
} // namespace

std::string framed(std::string_view payload) {
    const auto n = static_cast<uint32_t>(payload.size());
    std::string out{char(n >> 24), char((n >> 16) & 0xff), char((n >> 8) & 0xff), char(n & 0xff)};
    out.append(payload);
    return out;
}

bool sendAll(int fd, std::string_view bytes, int64_t deadlineMs) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
            const std::optional<int> timeout = pollTimeout(deadlineMs);
            if (!timeout) return false;
            pollfd entry{fd, POLLOUT, 0};
            if (::poll(&entry, 1, *timeout) < 0 && errno != EINTR) return false;
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::expected<std::string, FrameFault> readFrame(int fd, std::size_t limit, int64_t deadlineMs) {
    std::string header;
    if (auto fault = readExactly(fd, header, 4, deadlineMs, true)) return std::unexpected(*fault);
    const uint32_t length = (uint32_t(uint8_t(header[0])) << 24) | (uint32_t(uint8_t(header[1])) << 16) |
                            (uint32_t(uint8_t(header[2])) << 8) | uint8_t(header[3]);
    if (length > limit) return std::unexpected(FrameFault::tooLong);
    std::string payload;
    if (auto fault = readExactly(fd, payload, length, deadlineMs, false)) {
        return std::unexpected(*fault == FrameFault::closed ? FrameFault::interrupted : *fault);
    }
    return payload;
}

int64_t monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace quillmere
