#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace quillmere::platform {

// Calls `visit(name)`, or `visit(name, type)` with the entry's d_type (DT_DIR, DT_REG,
// DT_UNKNOWN...), for every entry of a buffer that getdents64 filled (`bytes` long), leaving
// out "." and "..". The records are read through their layout (struct
// linux_dirent64), never through offsets written out by hand.
template <class Visit> void forEachDirectoryEntry(const char* buffer, size_t bytes, Visit&& visit) {
    struct LinuxDirent64 {
        uint64_t d_ino;
        int64_t d_off;
        unsigned short d_reclen;
        unsigned char d_type;
        char d_name[1];
    };
    for (size_t offset = 0; offset + offsetof(LinuxDirent64, d_name) < bytes;) {
        const char* record = buffer + offset;
        unsigned short length = 0;
        std::memcpy(&length, record + offsetof(LinuxDirent64, d_reclen), sizeof length);
        // A malformed record would otherwise loop for ever or read past the buffer.
        if (length <= offsetof(LinuxDirent64, d_name) || length > bytes - offset) break;
        offset += length;
        const char* name = record + offsetof(LinuxDirent64, d_name);
        const std::string_view entry(name, ::strnlen(name, length - offsetof(LinuxDirent64, d_name)));
        if (entry == "." || entry == "..") continue;
        if constexpr (std::is_invocable_v<Visit, std::string_view, unsigned char>) {
            unsigned char type = 0;
            std::memcpy(&type, record + offsetof(LinuxDirent64, d_type), sizeof type);
            visit(entry, type);
        } else {
            visit(entry);
        }
    }
}

} // namespace quillmere::platform
