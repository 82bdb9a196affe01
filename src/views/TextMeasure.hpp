#pragma once

#include <functional>
#include <string_view>

namespace quillmere::views {

enum class FontWeight { regular, semibold, bold };

// A measured line of text, in the units of the font size it was measured at.
struct TextSize {
    double width = 0;
    double height = 0;
    bool operator==(const TextSize&) const = default;
};

// Measures `text` set in the interface font of `fontSize` and `weight`. The window gives the
// metrics of the very font that draws; tests give exact fake widths.
using TextMeasurer = std::function<TextSize(std::string_view text, double fontSize, FontWeight weight)>;

} // namespace quillmere::views
