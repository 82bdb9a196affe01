#pragma once

// The buffer a worker reads folder listings into with getdents64.
#include "platform/DirectoryEntries.hpp"

#include <cstddef>
#include <memory>

namespace quillmere {

// Each worker keeps its buffer, backed as far as a read ever filled it: 32 KiB reads a folder of
// 500,000 entries as fast as 64 KiB did.
inline constexpr size_t kListingBufferSize = 32 * 1024;

// This thread's buffer: reading a listing never waits on other tasks, so one per thread suffices.
inline char* listingBuffer() {
    thread_local std::unique_ptr<char[]> buffer(new char[kListingBufferSize]);
    return buffer.get();
}

// The bytes the names of a chunk `read` take in a listing, each followed by a NUL.
inline size_t listingBytesOf(const char* chunk, size_t read) {
    size_t bytes = 0;
    platform::forEachDirectoryEntry(chunk, read, [&](std::string_view entry) { bytes += entry.size() + 1; });
    return bytes;
}

} // namespace quillmere
