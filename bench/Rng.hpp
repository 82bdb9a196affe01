#pragma once

#include <cstdint>

namespace quillmere::bench {

// splitmix64: tiny, fast, and good enough to shape a tree.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return next() % n; }
    int64_t between(int64_t low, int64_t high) { return low + static_cast<int64_t>(below(high - low + 1)); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    template <class Array> auto pick(const Array& items) { return items[below(items.size())]; }

private:
    uint64_t state_;
};

} // namespace quillmere::bench
