#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// The helper's socket, the one the systemd socket unit listens on.
inline constexpr const char* kHelperSocketPath = "/run/quillmere/com.quillmere.helper.sock";
inline constexpr const char* kHelperWalkSelector = "walkSubtreeAtPath:reply:";
inline constexpr const char* kHelperPingSelector = "pingWithReply:";

// Frames are a 4-byte big-endian length and that many bytes. A request, and the first frame of
// every reply, is one UTF-8 JSON object carrying the request's "id". A walk's reply object
// holds either an "error" text (the helper declines the path), or "chunks": true, and then
// the walked folder's record follows as it is written, in chunk frames: a kind byte and its
// bytes. Nothing of a reply is ever held whole on either side.
inline constexpr std::size_t kHelperRequestLimit = 64 * 1024;
inline constexpr std::size_t kHelperReplyLimit = 64 * 1024;
inline constexpr char kChunkData = 'd';  // then up to kHelperChunkBytes of the record's JSON text
inline constexpr char kChunkEnd = 'e';   // the record is complete
inline constexpr char kChunkAbort = 'x'; // the helper gives up on it; then why, in UTF-8
inline constexpr std::size_t kHelperChunkBytes = 64 * 1024;
// The text of one record, all its chunks together, is at most this long (some ten million
// items).
inline constexpr uint64_t kHelperRecordLimit = uint64_t(2) << 30;

enum class FrameFault {
    closed,      // the peer closed the connection between frames
    interrupted, // the connection ended or failed inside a frame
    tooLong,     // the header announces more than the limit
    timedOut,    // the deadline passed
    cancelled,   // the connection was shut down on our side
};

// `payload` framed: its 4-byte big-endian length, then the bytes.
std::string framed(std::string_view payload);

// Sends every byte, never raising SIGPIPE, waiting on a full socket until `deadlineMs`
// (negative: for ever). False when the connection failed or the time ran out.
bool sendAll(int fd, std::string_view bytes, int64_t deadlineMs = -1);

// Reads one frame of at most `limit` bytes. The buffer grows with the bytes received, never
// with the length announced, so a hostile header costs nothing. `deadlineMs` is a
// CLOCK_MONOTONIC time in milliseconds; negative waits for ever.
std::expected<std::string, FrameFault> readFrame(int fd, std::size_t limit, int64_t deadlineMs);

// CLOCK_MONOTONIC now, in milliseconds.
int64_t monotonicMs();

} // namespace quillmere
