#include "scan/ParallelStableSort.hpp"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace quillmere {
namespace {

// Sizes around the point where the work is shared out, and one not divisible into equal pieces.
TEST(ParallelStableSort, GivesWhatAStableSortGivesEqualElementsInTheirOrder) {
    for (const size_t size : {0u, 1u, 100u, 16383u, 16384u, 100003u}) {
        std::vector<std::pair<int, size_t>> elements;
        uint64_t state = 12345;
        for (size_t i = 0; i < size; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            // Few keys, so that most elements have equals whose order must be kept.
            elements.emplace_back(static_cast<int>(state >> 59), i);
        }
        const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::vector<std::pair<int, size_t>> expected = elements;
        std::stable_sort(expected.begin(), expected.end(), byKey);
        parallelStableSort(elements, byKey);
        EXPECT_EQ(elements, expected) << size;
    }
}

} // namespace
} // namespace quillmere
