#include "app/state/Modes.hpp"

#include <algorithm>

namespace quillmere {

namespace {

// Position in declaration order at which the insight group begins.
constexpr size_t kFirstInsightPosition = 3;

const AppSectionTab& tabOf(AppSection section) {
    return *std::ranges::find(appSectionTabs, section, &AppSectionTab::section);
}

} // namespace

std::string_view textValue(DiskViewMode mode) {
    switch (mode) {
    case DiskViewMode::sunburst:
        return "sunburst";
    case DiskViewMode::treemap:
        return "treemap";
    case DiskViewMode::list:
        return "list";
    case DiskViewMode::largestItems:
        return "largestItems";
    case DiskViewMode::byKind:
        return "byKind";
    case DiskViewMode::untouched:
        return "untouched";
    }
    return "sunburst";
}

std::optional<DiskViewMode> diskViewModeFromText(std::string_view text) {
    for (DiskViewMode mode : allDiskViewModes)
        if (textValue(mode) == text) return mode;
    return std::nullopt;
}

DiskViewMode diskViewModeOrSunburst(std::string_view text) {
    return diskViewModeFromText(text).value_or(DiskViewMode::sunburst);
}

std::vector<DiskViewMode> mapModes() {
    std::vector<DiskViewMode> modes;
    for (size_t i = 0; i < allDiskViewModes.size(); ++i)
        if (i < kFirstInsightPosition) modes.push_back(allDiskViewModes[i]);
    return modes;
}

std::vector<DiskViewMode> insightModes() {
    std::vector<DiskViewMode> modes;
    for (size_t i = 0; i < allDiskViewModes.size(); ++i)
        if (i >= kFirstInsightPosition) modes.push_back(allDiskViewModes[i]);
    return modes;
}

std::string_view tabTitle(AppSection section) {
    return tabOf(section).title;
}

std::string_view tabSymbolName(AppSection section) {
    return tabOf(section).symbolName;
}

} // namespace quillmere
