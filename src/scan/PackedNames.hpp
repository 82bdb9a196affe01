#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Names side by side in one buffer, each followed by a NUL, found by where they start: a root
// of half a million entries would hold about as much again as its tree in separate strings.
struct PackedNames {
    std::string text;
    std::vector<uint32_t> starts;

    size_t size() const { return starts.size(); }
    const char* name(size_t index) const { return text.data() + starts[index]; }
    // False, keeping nothing, once the buffer would pass what its starts can address: four
    // gigabytes of names, a root of some two hundred million entries.
    bool append(std::string_view name) {
        if (text.size() + name.size() >= UINT32_MAX) return false;
        starts.push_back(static_cast<uint32_t>(text.size()));
        text.append(name);
        text.push_back('\0');
        return true;
    }
};

} // namespace quillmere
