#include "scan/Refolding.hpp"

#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "scan/SmallItemFolding.hpp"

#include <charconv>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace quillmere {
namespace {

// Paths below the root as a tree of their components.
struct Steps {
    std::unordered_map<std::string, std::unique_ptr<Steps>> next;

    void add(std::string_view below) {
        Steps* at = this;
        while (!below.empty()) {
            const size_t slash = below.find('/');
            const std::string_view component = below.substr(0, slash);
            below.remove_prefix(slash == std::string_view::npos ? below.size() : slash + 1);
            if (component.empty()) continue;
            std::unique_ptr<Steps>& step = at->next[std::string(component)];
            if (!step) step = std::make_unique<Steps>();
            at = step.get();
        }
    }
    const Steps* find(std::string_view name) const {
        const auto found = next.find(std::string(name));
        return found == next.end() ? nullptr : found->second.get();
    }
};

Steps stepsBelow(const std::string& rootPath, const std::vector<std::string>& paths) {
    const std::string prefix = folderPrefix(rootPath);
    Steps steps;
    for (const std::string& path : paths)
        if (path.starts_with(prefix)) steps.add(std::string_view(path).substr(prefix.size()));
    return steps;
}

// The folder's children folded again; nothing when they stay as they are.
std::optional<std::vector<FileNode>> refolded(const FileNode& folder, const std::vector<FileNode>& children,
                                              const Steps* pinned) {
    int64_t total = 0;
    for (const FileNode& child : children)
        if (!child.isExcludedFromTotals()) total = saturatingAdd(total, child.allocatedSize());
    const std::optional<double> threshold = foldThreshold(total);
    if (!threshold) return std::nullopt;
    std::vector<bool> folds(children.size(), false);
    int64_t items = 0;
    size_t newlyFolded = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        const FileNode& child = children[i];
        if (child.isAggregate()) {
            folds[i] = true;
            items = saturatingAdd(items, foldedItemCount(child));
        } else if (foldsUnder(*threshold, child.allocatedSize(), !child.isExcludedFromTotals(),
                              pinned && pinned->find(child.name()))) {
            folds[i] = true;
            items = saturatingAdd(items, 1);
            ++newlyFolded;
        }
    }
    if (newlyFolded == 0 || items < 2) return std::nullopt;
    std::vector<FileNode> kept;
    FileNode::Totals sums{.folderCount = 0};
    for (size_t i = 0; i < children.size(); ++i) {
        if (folds[i])
            sums.add(children[i]);
        else
            kept.push_back(children[i]);
    }
    kept.push_back(makeAggregate(folder.ownFolderPath(), items, sums));
    return kept;
}

} // namespace

int64_t foldedItemCount(const FileNode& node) {
    if (!node.isAggregate()) return 1;
    const std::string path = node.path();
    const std::string_view component = lastPathComponent(path);
    constexpr std::string_view kPrefix = ".quillmere-aggregate-";
    int64_t count = 0;
    if (!component.starts_with(kPrefix)) return 1;
    const std::string_view digits = component.substr(kPrefix.size());
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    return error == std::errc() && end == digits.data() + digits.size() && count > 0 ? count : 1;
}

FileNode refoldingAlong(const FileNode& root, const std::vector<std::string>& folders,
                        const std::vector<std::string>& pinned) {
    const std::string rootPath = root.path();
    const Steps route = stepsBelow(rootPath, folders);
    const Steps pins = stepsBelow(rootPath, pinned);
    bool rootOnRoute = false;
    for (const std::string& folder : folders)
        rootOnRoute = rootOnRoute || folder == rootPath || folder.starts_with(folderPrefix(rootPath));
    if (!rootOnRoute) return root;

    // Deeper folders first, without recursion: folding a folder may fold a child away.
    struct Frame {
        FileNode node;
        const Steps* route;
        const Steps* pins;
        std::vector<FileNode> children;
        std::vector<std::pair<size_t, const Steps*>> descents;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    const auto open = [&](const FileNode& node, const Steps* steps, const Steps* pinSteps) {
        const auto kids = node.children();
        Frame frame{node, steps, pinSteps, std::vector<FileNode>(kids.begin(), kids.end()), {}};
        for (size_t i = 0; i < frame.children.size(); ++i)
            if (frame.children[i].isDirectory() && !frame.children[i].isAggregate())
                if (const Steps* step = steps->find(frame.children[i].name()))
                    frame.descents.emplace_back(i, step);
        stack.push_back(std::move(frame));
    };
    open(root, &route, &pins);
    while (true) {
        Frame& frame = stack.back();
        if (frame.next < frame.descents.size()) {
            const auto [index, step] = frame.descents[frame.next++];
            const FileNode child = frame.children[index];
            const Steps* childPins = frame.pins ? frame.pins->find(child.name()) : nullptr;
            open(child, step, childPins);
            continue;
        }
        std::optional<std::vector<FileNode>> folded = refolded(frame.node, frame.children, frame.pins);
        FileNode built = frame.node.rebuilt(folded ? std::move(*folded) : std::move(frame.children));
        stack.pop_back();
        if (stack.empty()) return built;
        Frame& parent = stack.back();
        parent.children[parent.descents[parent.next - 1].first] = std::move(built);
    }
}

} // namespace quillmere
