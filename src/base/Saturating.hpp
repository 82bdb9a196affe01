#pragma once

#include <cstdint>
#include <limits>

namespace quillmere {

// a + b, held at the 64-bit limits instead of overflowing: sizes and counts may come from
// outside (a saved scan, the privileged helper), and one absurd figure must not wrap a
// folder's total around to a negative number.
constexpr int64_t saturatingAdd(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

} // namespace quillmere
