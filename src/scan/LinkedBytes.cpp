#include "scan/LinkedBytes.hpp"

#include "base/Saturating.hpp"

#include <memory>
#include <string_view>
#include <unordered_map>

namespace quillmere {
namespace {

// The owners' paths as a tree of their components below the scan root, with what flipping
// the owners below each step changes in a folder's sums.
struct Route {
    std::unordered_map<std::string, std::unique_ptr<Route>> next;
    const SharingRegistry::LinkOwner* owner = nullptr; // set where a path ends
    int64_t countedBelow = 0;                          // bytes that become counted
    int64_t sharedBelow = 0;                           // bytes that stop being shared
};

int64_t countedBytes(const SharingRegistry::LinkOwner& owner) {
    return owner.bytes - owner.countedElsewhere;
}

void addRoute(Route& routes, std::string_view below, const SharingRegistry::LinkOwner& owner) {
    // Bytes all counted through other files' extents leave the owner shared.
    if (countedBytes(owner) <= 0) return;
    std::vector<Route*> way{&routes};
    while (!below.empty()) {
        const size_t slash = below.find('/');
        const std::string_view component = below.substr(0, slash);
        below.remove_prefix(slash == std::string_view::npos ? below.size() : slash + 1);
        if (component.empty()) continue;
        std::unique_ptr<Route>& step = way.back()->next[std::string(component)];
        if (!step) step = std::make_unique<Route>();
        way.push_back(step.get());
    }
    if (way.size() < 2 || way.back()->owner) return;
    way.back()->owner = &owner;
    for (Route* step : way) {
        step->countedBelow = saturatingAdd(step->countedBelow, countedBytes(owner));
        step->sharedBelow = saturatingAdd(step->sharedBelow, owner.bytes);
    }
}

FileNode ownedLeaf(const FileNode& folder, const FileNode& leaf, const SharingRegistry::LinkOwner& owner) {
    NodeFields fields = leaf.fields();
    fields.isSharedElsewhere = false;
    fields.allocatedSize = countedBytes(owner);
    fields.sharedBytesTotal = 0;
    return FileNode::under(folder.ownFolderPath(), leaf.name(), fields);
}

// The aggregate with the folded owners below `step` counted.
FileNode aggregateHolding(const FileNode& aggregate, const Route& step) {
    NodeFields fields = aggregate.fields();
    fields.allocatedSize = saturatingAdd(fields.allocatedSize, step.countedBelow);
    fields.sharedBytesTotal = std::max<int64_t>(fields.sharedBytesTotal - step.sharedBelow, 0);
    return FileNode::at(aggregate.ownFolderPath(), aggregate.name(), fields);
}

} // namespace

FileNode withLinkedBytesOwned(const FileNode& root, const std::vector<SharingRegistry::LinkOwner>& owners) {
    const std::string rootPath = root.path();
    const std::string prefix = rootPath.ends_with('/') ? rootPath : rootPath + "/";
    Route routes;
    for (const SharingRegistry::LinkOwner& owner : owners)
        if (owner.path.starts_with(prefix))
            addRoute(routes, std::string_view(owner.path).substr(prefix.size()), owner);
    if (routes.next.empty()) return root;

    // Depth first without recursion: a folder is rebuilt after the folders below it.
    struct Frame {
        FileNode node;
        std::vector<FileNode> children;
        std::vector<std::pair<size_t, const Route*>> descents; // children to enter, in turn
        size_t next = 0;
    };
    std::vector<Frame> stack;
    const auto open = [&](const FileNode& node, const Route& route) {
        const auto kids = node.children();
        Frame frame{node, std::vector<FileNode>(kids.begin(), kids.end()), {}};
        std::unordered_map<std::string_view, size_t> byName;
        std::optional<size_t> aggregate;
        for (size_t i = 0; i < frame.children.size(); ++i) {
            if (frame.children[i].isAggregate())
                aggregate = i;
            else
                byName.emplace(frame.children[i].name(), i);
        }
        for (const auto& [component, step] : route.next) {
            const auto found = byName.find(component);
            if (found == byName.end()) {
                // Not among the children: folded with other small items.
                if (aggregate)
                    frame.children[*aggregate] = aggregateHolding(frame.children[*aggregate], *step);
                continue;
            }
            const FileNode& child = frame.children[found->second];
            if (child.isDirectory())
                frame.descents.emplace_back(found->second, step.get());
            else if (step->owner && child.isSharedElsewhere())
                frame.children[found->second] = ownedLeaf(node, child, *step->owner);
        }
        stack.push_back(std::move(frame));
    };
    open(root, routes);
    while (true) {
        Frame& frame = stack.back();
        if (frame.next < frame.descents.size()) {
            const auto [index, step] = frame.descents[frame.next++];
            const FileNode child = frame.children[index];
            open(child, *step);
            continue;
        }
        FileNode built = frame.node.rebuilt(std::move(frame.children));
        stack.pop_back();
        if (stack.empty()) return built;
        Frame& parent = stack.back();
        parent.children[parent.descents[parent.next - 1].first] = std::move(built);
    }
}

} // namespace quillmere
