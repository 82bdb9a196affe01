#include "reclaim/SheetContent.hpp"

#include "base/Format.hpp"
#include "base/PathText.hpp"
#include "reclaim/SheetTexts.hpp"

#include <algorithm>

namespace quillmere {

namespace st = sheet_text;

namespace {

// Largest first; items of equal size keep their order.
template <typename T> void sortLargestFirst(std::vector<T>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const T& a, const T& b) { return a.allocatedSize > b.allocatedSize; });
}

std::string plural(int64_t count, const std::string& noun) {
    return count == 1 ? noun : noun + "s";
}

// The size text of a row: a negative count shows as nothing at all.
std::string rowSizeText(int64_t bytes) {
    return formatByteCount(std::max<int64_t>(bytes, 0));
}

template <typename Item> SheetContent::Row itemRow(const Item& item) {
    return {item.path, item.name, rowSizeText(item.allocatedSize)};
}

// The texts of a sheet moving `count` of `owner`'s items to the Trash: an application's
// leftovers or a group of orphans.
SheetContent withItemsMoveTexts(SheetContent content, size_t count, const std::string& owner) {
    content.title = "Move " + std::to_string(count) + " " + plural(static_cast<int64_t>(count), "item") +
                    " from " + owner + " to the Trash?";
    content.summary = st::oneAction;
    content.confirmLabel = st::moveToTrash;
    content.successHeadline = st::movedToTrash;
    content.failureHeadline = st::orphansFailed;
    return content;
}

// The rows of a single-category reclaim: its named items when it moves two or more whole.
std::vector<SheetContent::Row> namedItemRows(const SystemDataCategory& category) {
    std::vector<SheetContent::Row> rows;
    if (!category.reclaimAction) return rows;
    const auto* whole = std::get_if<SystemDataReclaimAction::WholeItems>(&category.reclaimAction->value);
    if (!whole || whole->items.size() < 2) return rows;
    for (const SystemDataNamedItem& item : whole->items)
        rows.push_back({item.url, item.label, rowSizeText(item.sizeBytes)});
    return rows;
}

} // namespace

SheetContent sheetContent(const ReclaimTarget& target) {
    return std::visit(
        [](const auto& t) -> SheetContent {
            using T = std::decay_t<decltype(t)>;
            if constexpr (std::is_same_v<T, ReclaimTarget::Node>)
                return nodeSheetContent(t.node);
            else if constexpr (std::is_same_v<T, ReclaimTarget::SystemData>)
                return systemDataSheetContent(t.categories);
            else if constexpr (std::is_same_v<T, ReclaimTarget::AppUninstall>)
                return appUninstallSheetContent(t.app, t.attribution, t.tickedPaths);
            else if constexpr (std::is_same_v<T, ReclaimTarget::AppCaches>)
                return appCachesSheetContent(t.app, t.items);
            else if constexpr (std::is_same_v<T, ReclaimTarget::AppItems>)
                return appItemsSheetContent(t.app, t.items);
            else
                return orphanGroupSheetContent(t.group, t.tickedPaths);
        },
        target.value);
}

NodePreview nodePreview(const FileNode& node, std::size_t limit) {
    const auto children = node.children();
    // Larger first; among equal sizes the earlier child, so the order is stable.
    const auto larger = [&](std::size_t a, std::size_t b) {
        const int64_t sa = children[a].allocatedSize();
        const int64_t sb = children[b].allocatedSize();
        return sa != sb ? sa > sb : a < b;
    };
    std::vector<std::size_t> picks;
    if (limit <= 32) {
        // One pass keeping the few best in order: a million children cost a million compares.
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (children[i].isAggregate()) continue;
            if (picks.size() == limit && (limit == 0 || !larger(i, picks.back()))) continue;
            picks.insert(std::upper_bound(picks.begin(), picks.end(), i, larger), i);
            if (picks.size() > limit) picks.pop_back();
        }
    } else {
        for (std::size_t i = 0; i < children.size(); ++i)
            if (!children[i].isAggregate()) picks.push_back(i);
        const std::size_t kept = std::min(limit, picks.size());
        std::partial_sort(picks.begin(), picks.begin() + static_cast<std::ptrdiff_t>(kept), picks.end(),
                          larger);
        picks.resize(kept);
    }
    NodePreview preview{node.allocatedSize(), {}, node.cloudOnlyCount()};
    preview.children.reserve(picks.size());
    for (std::size_t i : picks)
        preview.children.push_back(children[i]);
    return preview;
}

std::string nodeSummary(const FileNode& node) {
    // As a file URL gives the path back: without a trailing slash.
    const std::string path = fileURLPath(node.path());
    if (!node.isDirectory()) return "At " + path + ". " + st::itemStays;
    const int64_t folders = std::max<int64_t>(node.folderCount() - 1, 0);
    return formatGroupedInteger(folders) + " " + plural(folders, "folder") + " and " +
           formatGroupedInteger(node.fileCount()) + " " + plural(node.fileCount(), "file") + ", at " + path +
           ". " + st::folderStays;
}

SheetContent nodeSheetContent(const FileNode& node) {
    const NodePreview preview = nodePreview(node, 3);
    SheetContent content;
    for (const FileNode& child : preview.children)
        content.rows.push_back({child.path(), std::string(child.name()), rowSizeText(child.allocatedSize())});
    if (preview.cloudOnlyCount >= 1) {
        content.rows.push_back({"cloud-only",
                                preview.cloudOnlyCount == 1
                                    ? st::cloudOnlyOne
                                    : std::to_string(preview.cloudOnlyCount) + st::cloudOnlyMany,
                                st::notCounted, true, std::nullopt});
        content.finePrint = st::nodeFinePrint;
    }
    const std::string name(node.name());
    content.title = "Move " + st::quoted(name) + " to the Trash?";
    content.summary = nodeSummary(node);
    content.reclaimableBytes = preview.bytes;
    content.confirmLabel = st::moveToTrash;
    content.successHeadline = st::movedToTrash;
    content.failureHeadline = "Couldn't move " + st::quoted(name) + " to the Trash";
    return content;
}

SheetContent systemDataSheetContent(const std::vector<SystemDataCategory>& categories) {
    SheetContent content;
    for (const SystemDataCategory& category : categories)
        content.reclaimableBytes += category.sizeBytes;
    if (categories.size() == 1) {
        const SystemDataCategory& only = categories.front();
        content.title = "Reclaim " + st::quoted(only.name) + "?";
        content.summary = only.explanation;
        content.rows = namedItemRows(only);
        content.failureHeadline = "Couldn't reclaim " + st::quoted(only.name);
    } else {
        content.title = st::reclaimAllTitle;
        // Plural on this branch for every count, 0 included.
        content.summary = std::to_string(categories.size()) + " items" + st::reclaimAllSummaryTail;
        content.failureHeadline = st::reclaimEverythingFailed;
        for (const SystemDataCategory& category : categories)
            content.rows.push_back({category.id, category.name, rowSizeText(category.sizeBytes)});
    }
    content.confirmLabel = st::reclaim;
    content.successHeadline = st::reclaimed;
    return content;
}

SheetContent appUninstallSheetContent(const InstalledApp& app, const LeftoverAttribution& attribution,
                                      const std::set<std::string>& tickedPaths) {
    using Group = LeftoverItem::Group;
    const LeftoverItem* application = nullptr;
    std::vector<LeftoverItem> sounds, others, unticked;
    for (const LeftoverItem& item : attribution.items) {
        if (item.group == Group::application) {
            if (!application) application = &item;
            continue;
        }
        if (!tickedPaths.contains(item.path))
            unticked.push_back(item);
        else if (item.group == Group::soundLibrariesAndContent)
            sounds.push_back(item);
        else
            others.push_back(item);
    }
    sortLargestFirst(sounds);
    sortLargestFirst(others);
    sortLargestFirst(unticked);

    SheetContent content;
    if (application) {
        content.rows.push_back(itemRow(*application));
        content.reclaimableBytes = application->allocatedSize;
    }
    for (const LeftoverItem& item : sounds)
        content.rows.push_back(itemRow(item));
    if (others.size() == 1) {
        content.rows.push_back(itemRow(others.front()));
    } else if (others.size() >= 2) {
        std::string names;
        int64_t bytes = 0;
        for (const LeftoverItem& item : others) {
            names += (names.empty() ? "" : ", ") + item.name;
            bytes += item.allocatedSize;
        }
        content.rows.push_back({"collapsed-leftovers", names, rowSizeText(bytes)});
    }
    for (const LeftoverItem& item : unticked) {
        SheetContent::Row row = itemRow(item);
        row.isKept = true;
        row.keptReason =
            item.sharedWithAppName ? *item.sharedWithAppName + st::sharedReasonTail : st::notSelectedReason;
        content.rows.push_back(std::move(row));
    }
    // Content another application also uses moves with this one but was never its alone.
    for (const auto* ticked : {&sounds, &others})
        for (const LeftoverItem& item : *ticked)
            if (!item.sharedWithAppName) content.reclaimableBytes += item.allocatedSize;

    const std::size_t ticked = sounds.size() + others.size();
    content.title = "Move " + app.name + " and " + std::to_string(ticked) + " related " +
                    plural(static_cast<int64_t>(ticked), "item") + " to the Trash?";
    content.summary = st::oneAction;
    content.confirmLabel = st::moveToTrash;
    content.successHeadline = st::movedToTrash;
    content.failureHeadline = "Couldn\u2019t move " + st::quoted(app.name) + " to the Trash";
    return content;
}

SheetContent appCachesSheetContent(const InstalledApp& app, const std::vector<LeftoverItem>& items) {
    std::vector<LeftoverItem> sorted = items;
    sortLargestFirst(sorted);
    SheetContent content;
    for (const LeftoverItem& item : sorted) {
        content.rows.push_back(itemRow(item));
        content.reclaimableBytes += item.allocatedSize;
    }
    content.title = "Clear " + app.name + "\u2019s caches?";
    content.summary = app.name + st::cachesSummaryTail;
    content.confirmLabel = st::moveToTrash;
    content.successHeadline = st::cachesMoved;
    content.failureHeadline = st::cachesFailed;
    return content;
}

SheetContent appItemsSheetContent(const InstalledApp& app, const std::vector<LeftoverItem>& items) {
    std::vector<LeftoverItem> sorted;
    for (const LeftoverItem& item : items)
        if (item.group != LeftoverItem::Group::application) sorted.push_back(item);
    sortLargestFirst(sorted);
    SheetContent content;
    for (const LeftoverItem& item : sorted) {
        content.rows.push_back(itemRow(item));
        if (!item.sharedWithAppName) content.reclaimableBytes += item.allocatedSize;
    }
    return withItemsMoveTexts(std::move(content), sorted.size(), app.name);
}

SheetContent orphanGroupSheetContent(const OrphanLeftoverGroup& group,
                                     const std::set<std::string>& tickedPaths) {
    std::vector<OrphanEntry> selected;
    for (const OrphanEntry& entry : group.entries)
        if (tickedPaths.contains(entry.path)) selected.push_back(entry);
    sortLargestFirst(selected);
    SheetContent content;
    for (const OrphanEntry& entry : selected) {
        content.rows.push_back(itemRow(entry));
        content.reclaimableBytes += entry.allocatedSize;
    }
    const std::string& displayName = group.guessedAppName ? *group.guessedAppName : group.evidence;
    return withItemsMoveTexts(std::move(content), selected.size(), displayName);
}

} // namespace quillmere
