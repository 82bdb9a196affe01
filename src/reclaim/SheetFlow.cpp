#include "reclaim/SheetFlow.hpp"

#include "reclaim/SheetTexts.hpp"

namespace quillmere {

FileNode leftoverNode(const std::string& name, const std::string& path, int64_t allocatedSize,
                      int64_t cloudOnlyCount) {
    std::string urlPath = path;
    while (urlPath.size() > 1 && urlPath.back() == '/')
        urlPath.pop_back();
    return FileNode(name, urlPath, true, false, allocatedSize, false, false, cloudOnlyCount, false, 0, 0, 0,
                    std::nullopt, {});
}

namespace {

template <typename Item> FileNode nodeOf(const Item& item) {
    return leftoverNode(item.name, item.path, item.allocatedSize, item.cloudOnlyCount);
}

} // namespace

ReclaimerInput reclaimerInput(const ReclaimTarget& target) {
    ReclaimerInput input;
    if (const auto* node = std::get_if<ReclaimTarget::Node>(&target.value)) {
        input.nodes.push_back(node->node);
    } else if (const auto* systemData = std::get_if<ReclaimTarget::SystemData>(&target.value)) {
        for (const SystemDataCategory& category : systemData->categories)
            if (category.reclaimAction)
                input.entries.push_back(
                    {category.id, category.name, category.sizeBytes, *category.reclaimAction});
    } else if (const auto* uninstall = std::get_if<ReclaimTarget::AppUninstall>(&target.value)) {
        const LeftoverItem* application = nullptr;
        for (const LeftoverItem& item : uninstall->attribution.items) {
            if (item.group == LeftoverItem::Group::application) {
                if (!application) application = &item;
            } else if (uninstall->tickedPaths.contains(item.path)) {
                input.nodes.push_back(nodeOf(item));
            }
        }
        input.appBundle = application ? nodeOf(*application)
                                      : leftoverNode(uninstall->app.name, uninstall->app.path,
                                                     uninstall->app.allocatedSize, 0);
    } else if (const auto* caches = std::get_if<ReclaimTarget::AppCaches>(&target.value)) {
        for (const LeftoverItem& item : caches->items)
            input.nodes.push_back(nodeOf(item));
    } else if (const auto* packaged = std::get_if<ReclaimTarget::AppItems>(&target.value)) {
        // The application itself is its package system's to remove, whatever the list holds.
        for (const LeftoverItem& item : packaged->items)
            if (item.group != LeftoverItem::Group::application) input.nodes.push_back(nodeOf(item));
    } else if (const auto* orphans = std::get_if<ReclaimTarget::OrphanGroup>(&target.value)) {
        for (const OrphanEntry& entry : orphans->group.entries)
            if (orphans->tickedPaths.contains(entry.path)) input.nodes.push_back(nodeOf(entry));
    }
    return input;
}

Reclaimer::Outcome runReclaim(const Reclaimer& reclaimer, const ReclaimerInput& input) {
    try {
        if (input.appBundle) return reclaimer.uninstall(*input.appBundle, input.nodes);
        return reclaimer.reclaim(input.nodes, input.entries);
    } catch (...) {
        Reclaimer::Outcome outcome;
        if (input.appBundle) {
            outcome.failures.push_back({*input.appBundle, sheet_text::interrupted});
            outcome.promisedBytes += input.appBundle->allocatedSize();
        }
        for (const FileNode& node : input.nodes) {
            outcome.failures.push_back({node, sheet_text::interrupted});
            outcome.promisedBytes += node.allocatedSize();
        }
        for (const SystemDataReclaimEntry& entry : input.entries) {
            outcome.systemDataFailures.push_back({entry, sheet_text::interrupted});
            outcome.promisedBytes += entry.sizeBytes;
        }
        return outcome;
    }
}

std::optional<FileNode> rootAfterRemoval(const ReclaimTarget& target,
                                         const std::optional<FileNode>& currentRoot,
                                         const Reclaimer::Outcome& outcome) {
    if (!target.isNode() || !currentRoot || outcome.succeeded.empty()) return std::nullopt;
    PathSet gone;
    for (const FileNode& node : outcome.succeeded)
        gone.insert(FileNode::canonicalPath(node.path()));
    return currentRoot->removing(gone);
}

} // namespace quillmere
