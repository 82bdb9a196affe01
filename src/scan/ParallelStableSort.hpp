#pragma once

// Sorting a large vector on the pool's threads, with the result std::stable_sort gives:
// equal elements keep their order. Work after a walk has every other core idle, and sorting
// a hundred thousand paths, which share long beginnings, takes one core over ten milliseconds.
#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace quillmere {

template <class Element, class Less> void parallelStableSort(std::vector<Element>& elements, Less less) {
    // Below this, handing out the pieces costs more than it saves.
    constexpr size_t kSharedFrom = 16 * 1024;
    constexpr size_t kPieces = 8;
    if (elements.size() < kSharedFrom) {
        std::stable_sort(elements.begin(), elements.end(), less);
        return;
    }
    std::array<size_t, kPieces + 1> bounds{};
    for (size_t i = 0; i <= kPieces; ++i)
        bounds[i] = elements.size() * i / kPieces;
    const auto at = [&elements](size_t index) {
        return elements.begin() + static_cast<std::ptrdiff_t>(index);
    };
    {
        TaskGroup group;
        for (size_t i = 0; i < kPieces; ++i)
            group.run([&, i] { std::stable_sort(at(bounds[i]), at(bounds[i + 1]), less); });
        group.wait();
    }
    // Neighbouring runs merge pairwise, the earlier run's elements first among equals, as
    // one stable sort would have left them.
    for (size_t width = 1; width < kPieces; width *= 2) {
        TaskGroup group;
        for (size_t i = 0; i + width < kPieces; i += 2 * width) {
            const size_t first = bounds[i];
            const size_t middle = bounds[i + width];
            const size_t last = bounds[std::min(i + 2 * width, kPieces)];
            group.run(
                [&, first, middle, last] { std::inplace_merge(at(first), at(middle), at(last), less); });
        }
        group.wait();
    }
}

} // namespace quillmere
