#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace quillmere {

// The six disk views, in declaration order; that order is also the order of the switcher.
enum class DiskViewMode { sunburst, treemap, list, largestItems, byKind, untouched };

inline constexpr std::array<DiskViewMode, 6> allDiskViewModes{
    DiskViewMode::sunburst,     DiskViewMode::treemap, DiskViewMode::list,
    DiskViewMode::largestItems, DiskViewMode::byKind,  DiskViewMode::untouched};

// The case name, which is also what the "diskViewMode" setting stores.
std::string_view textValue(DiskViewMode mode);
// The case whose text value equals `text` exactly (letter case matters, nothing is trimmed).
std::optional<DiskViewMode> diskViewModeFromText(std::string_view text);
// How a stored setting is read: any text that names no case shows the sunburst.
DiskViewMode diskViewModeOrSunburst(std::string_view text);

// The switcher's two groups: the modes before position 3, then those from position 3 on.
std::vector<DiskViewMode> mapModes();
std::vector<DiskViewMode> insightModes();

// The three sections of the main window. They carry no text of their own: the tab list does.
enum class AppSection { macintoshHD, systemData, applications };

struct AppSectionTab {
    AppSection section;
    std::string_view title; // also the tab's tooltip
    std::string_view symbolName;
};

inline constexpr std::array<AppSectionTab, 3> appSectionTabs{{
    {AppSection::macintoshHD, "Disk", "internaldrive"},
    {AppSection::systemData, "System Data", "questionmark.circle"},
    {AppSection::applications, "Applications", "square.grid.2x2"},
}};

std::string_view tabTitle(AppSection section);
std::string_view tabSymbolName(AppSection section);

} // namespace quillmere

// Hashed by text value, so a mode hashes like the setting that names it.
template <> struct std::hash<quillmere::DiskViewMode> {
    size_t operator()(quillmere::DiskViewMode mode) const noexcept {
        return std::hash<std::string_view>{}(quillmere::textValue(mode));
    }
};
