#include "applications/model/PanelRules.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/model/TextRules.hpp"
#include "base/Format.hpp"
#include "base/PathText.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <iterator>
#include <ranges>

namespace quillmere {
namespace {

using Group = LeftoverItem::Group;

// The last component's extension, trailing "/" ignored.
std::string_view extensionOf(std::string_view path) {
    const std::string_view name = lastPathComponent(path);
    const size_t dot = name.rfind('.');
    // A name that is only an extension (".app") has none, as the platform reads it.
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string parentFolder(const std::string& path) {
    return std::filesystem::path(path).parent_path().lexically_normal().generic_string();
}

// The bytes of `items`, whatever range holds them.
template <std::ranges::input_range Items> int64_t bytesOf(Items&& items) {
    int64_t bytes = 0;
    for (const auto& item : items)
        bytes += item.allocatedSize;
    return bytes;
}

} // namespace

bool isTicked(const LeftoverItem& item, const TickOverrides& overrides) {
    if (const auto found = overrides.find(item.path); found != overrides.end()) return found->second;
    return !item.sharedWithAppName.has_value();
}

void toggleTick(const LeftoverItem& item, TickOverrides& overrides) {
    overrides[item.path] = !isTicked(item, overrides);
}

std::vector<LeftoverItem> tickedItems(const LeftoverAttribution& attribution,
                                      const TickOverrides& overrides) {
    std::vector<LeftoverItem> ticked;
    std::ranges::copy_if(attribution.items, std::back_inserter(ticked),
                         [&](const LeftoverItem& item) { return isTicked(item, overrides); });
    return ticked;
}

int64_t selectedBytes(const LeftoverAttribution& attribution, const TickOverrides& overrides) {
    return bytesOf(attribution.items | std::views::filter([&](const LeftoverItem& item) {
                       return isTicked(item, overrides) && !item.sharedWithAppName;
                   }));
}

std::set<std::string> uninstallPaths(const LeftoverAttribution& attribution, const TickOverrides& overrides) {
    std::set<std::string> paths;
    for (const LeftoverItem& item : attribution.items)
        if (item.group != Group::application && isTicked(item, overrides)) paths.insert(item.path);
    return paths;
}

int64_t totalBytes(const LeftoverAttribution& attribution) {
    return bytesOf(attribution.items);
}

int64_t distinctFolderCount(const LeftoverAttribution& attribution) {
    std::set<std::string> folders;
    for (const LeftoverItem& item : attribution.items)
        folders.insert(parentFolder(item.path));
    return static_cast<int64_t>(folders.size());
}

std::vector<LeftoverItem> cacheItems(const LeftoverAttribution& attribution) {
    std::vector<LeftoverItem> items = attribution.itemsIn(Group::cachesPreferencesAndState);
    std::erase_if(items, [](const LeftoverItem& item) { return item.sharedWithAppName.has_value(); });
    return items;
}

int64_t cacheBytes(const LeftoverAttribution& attribution) {
    return bytesOf(cacheItems(attribution));
}

bool removedBundle(const std::vector<std::string>& removedPaths, const InstalledApp& app,
                   const std::optional<LeftoverAttribution>& attribution) {
    std::vector<std::string> bundlePaths{app.path};
    if (attribution)
        for (const LeftoverItem& item : attribution->items)
            if (item.group == Group::application) bundlePaths.push_back(item.path);
    return std::ranges::any_of(removedPaths, [&](const std::string& removed) {
        return std::ranges::any_of(bundlePaths,
                                   [&](const std::string& bundle) { return pathsEqual(removed, bundle); });
    });
}

int64_t leftoverBytes(const ApplicationRow& row) {
    return std::max<int64_t>(combinedTotal(row) - row.app.allocatedSize, 0);
}

std::optional<std::string> dominantLeftoverCaption(const ApplicationRow& row) {
    if (!row.attribution) return std::nullopt;
    const int64_t leftover = combinedTotal(row) - row.app.allocatedSize;
    if (leftover < 1) return std::nullopt;
    const LeftoverItem* largest = nullptr;
    for (const LeftoverItem& item : row.attribution->items)
        if (item.group != Group::application && (!largest || item.allocatedSize > largest->allocatedSize))
            largest = &item;
    if (!largest) return std::nullopt;
    if (static_cast<double>(largest->allocatedSize) / static_cast<double>(leftover) < 0.6)
        return std::nullopt;
    return "mostly " + largest->name;
}

std::string applicationSubtitle(const ApplicationRow& row) {
    std::string subtitle = (row.app.isPackaged() ? "Installed " : "Bundle ") +
                           formatByteCount(std::max<int64_t>(row.app.allocatedSize, 0));
    if (row.app.isProtected) return subtitle + " · sized, but Quillmere won’t remove it";
    if (!row.attribution) return subtitle + " · finding leftovers…";
    subtitle += " · leftovers " + formatByteCount(leftoverBytes(row));
    if (const auto caption = dominantLeftoverCaption(row)) subtitle += " — " + *caption;
    return subtitle;
}

double barWidth(double width, int64_t bytes, int64_t scale) {
    const double s = static_cast<double>(std::max<int64_t>(scale, 1));
    return std::max(width * static_cast<double>(bytes) / s, 0.0);
}

int64_t orphanEntryCount(const std::vector<OrphanLeftoverGroup>& groups) {
    int64_t count = 0;
    for (const OrphanLeftoverGroup& group : groups)
        count += static_cast<int64_t>(group.entries.size());
    return count;
}

bool isTicked(const OrphanEntry& entry, const TickOverrides& overrides) {
    const auto found = overrides.find(entry.path);
    return found != overrides.end() && found->second;
}

std::vector<OrphanEntry> tickedEntries(const OrphanLeftoverGroup& group, const TickOverrides& overrides) {
    std::vector<OrphanEntry> ticked;
    std::ranges::copy_if(group.entries, std::back_inserter(ticked),
                         [&](const OrphanEntry& entry) { return isTicked(entry, overrides); });
    return ticked;
}

int64_t tickedBytes(const OrphanLeftoverGroup& group, const TickOverrides& overrides) {
    return bytesOf(tickedEntries(group, overrides));
}

std::set<std::string> tickedPaths(const OrphanLeftoverGroup& group, const TickOverrides& overrides) {
    std::set<std::string> paths;
    for (const OrphanEntry& entry : tickedEntries(group, overrides))
        paths.insert(entry.path);
    return paths;
}

std::string orphanTitle(const OrphanLeftoverGroup& group) {
    return group.guessedAppName.value_or(group.evidence);
}

bool isWebsiteData(const LeftoverItem& item) {
    static constexpr std::array<std::string_view, 3> kFolders{"WebKit", "HTTPStorages", "Cookies"};
    for (const auto& component : std::filesystem::path(item.path))
        if (std::ranges::find(kFolders, component.native()) != kFolders.end()) return true;
    return false;
}

int64_t cachesAndContainersBytes(const std::optional<LeftoverAttribution>& attribution) {
    if (!attribution) return 0;
    return bytesOf(attribution->items | std::views::filter([](const LeftoverItem& item) {
                       return item.group != Group::application && !isWebsiteData(item);
                   }));
}

int64_t websiteDataBytes(const std::optional<LeftoverAttribution>& attribution) {
    if (!attribution) return 0;
    return bytesOf(attribution->items | std::views::filter(isWebsiteData));
}

std::vector<std::string> leftoverPaths(const std::optional<LeftoverAttribution>& attribution) {
    std::vector<std::string> paths;
    if (attribution)
        for (const LeftoverItem& item : attribution->items)
            if (item.group != Group::application) paths.push_back(item.path);
    return paths;
}

bool isTickedForClearing(const LeftoverItem& item, const TickOverrides& overrides) {
    const auto found = overrides.find(item.path);
    return found != overrides.end() && found->second;
}

void toggleClearingTick(const LeftoverItem& item, TickOverrides& overrides) {
    overrides[item.path] = !isTickedForClearing(item, overrides);
}

std::vector<LeftoverItem> clearableItems(const LeftoverAttribution& attribution) {
    std::vector<LeftoverItem> items;
    std::ranges::copy_if(attribution.items, std::back_inserter(items),
                         [](const LeftoverItem& item) { return item.group != Group::application; });
    return items;
}

std::vector<LeftoverItem> tickedClearableItems(const LeftoverAttribution& attribution,
                                               const TickOverrides& overrides) {
    std::vector<LeftoverItem> items = clearableItems(attribution);
    std::erase_if(items, [&](const LeftoverItem& item) { return !isTickedForClearing(item, overrides); });
    return items;
}

int64_t tickedClearableBytes(const LeftoverAttribution& attribution, const TickOverrides& overrides) {
    const std::vector<LeftoverItem> ticked = tickedClearableItems(attribution, overrides);
    return bytesOf(ticked |
                   std::views::filter([](const LeftoverItem& item) { return !item.sharedWithAppName; }));
}

std::optional<std::string_view> rowBadge(const InstalledApp& app) {
    switch (app.packaging) {
    case InstalledApp::Packaging::flatpak:
        return texts::kFlatpakBadge;
    case InstalledApp::Packaging::snap:
        return texts::kSnapBadge;
    case InstalledApp::Packaging::bundle:
        break;
    }
    if (app.isProtected) return texts::kBuiltIn;
    return std::nullopt;
}

bool looksLikeApplication(std::string_view path) {
    const std::string_view extension = extensionOf(path);
    return extension.size() == 3 &&
           std::ranges::equal(extension, std::string_view("app"),
                              [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
}

bool isInspectableApplication(std::string_view path) {
    return extensionOf(path) == "app";
}

ListAreaContent listAreaContent(bool hasApps, bool isInventoryComplete, bool hasFilteredRows, bool hasOrphans,
                                std::string_view searchText) {
    if (!hasApps && !isInventoryComplete) return ListAreaContent::loading;
    if (hasFilteredRows || hasOrphans) return ListAreaContent::list;
    return text::trimmedWhitespaceAndNewlines(searchText).empty() ? ListAreaContent::headerOnly
                                                                  : ListAreaContent::noMatch;
}

} // namespace quillmere
