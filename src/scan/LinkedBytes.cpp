#include "scan/LinkedBytes.hpp"

#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "scan/ParallelStableSort.hpp"
#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

namespace quillmere {
namespace {

using LinkOwner = SharingRegistry::LinkOwner;

int64_t countedBytes(const LinkOwner& owner) {
    return owner.bytes - owner.countedElsewhere;
}

// An owner by its path below the root.
struct Below {
    std::string_view path;
    const LinkOwner* owner;
};

std::string_view componentAt(std::string_view path, size_t start) {
    const std::string_view rest = path.substr(std::min(start, path.size()));
    return rest.substr(0, rest.find('/'));
}

constexpr size_t kMostScanned = 1 << 16;
// Settling visits every child of the folders on the owners' way, so a tree of a million files
// with thousands of hard links takes a good part of a core's ten milliseconds, after the walk
// and with every other core idle. The subfolders of the first few levels with this many
// owners below are settled side by side.
constexpr size_t kOwnersApart = 64;
constexpr int kSplitLevels = 3;

// A folder on the way to some owners: those of `owners[first, last)`, whose paths all go on
// below this folder from `depth` bytes in.
struct Frame {
    FileNode* node;
    size_t next;
    size_t last;
    size_t depth;
    // The child of each name still to be looked up (kNone: no such child), filled on the
    // first lookup that indexes.
    std::unordered_map<std::string_view, size_t> byName;
    std::optional<size_t> aggregate;
    bool indexed = false;

    // The child named `name`, the component of `below[first]`; the owners from `first` to
    // `last` are those still to be looked up.
    std::optional<size_t> childNamed(std::string_view name, std::span<const Below> below, size_t first) {
        const auto children = node->children();
        // A few lookups in a wide folder scan its children; many index them by name first.
        if (!indexed && (last - next + 1) * children.size() <= kMostScanned) {
            std::optional<size_t> found;
            for (size_t i = 0; i < children.size(); ++i) {
                if (children[i].isAggregate())
                    aggregate = i;
                else if (!found && children[i].name() == name)
                    found = i;
            }
            return found;
        }
        if (!indexed) {
            // Only the names still looked up are indexed: a folder of a hundred thousand links
            // has a node apiece, and indexing every child's name was most of settling it, a
            // tail of the scan that no other core shares.
            indexed = true;
            byName.reserve(last - first);
            std::string_view previous;
            for (size_t i = first; i < last; ++i) {
                const std::string_view component = componentAt(below[i].path, depth);
                if (i == first || component != previous) byName.try_emplace(component, kNone);
                previous = component;
            }
            for (size_t i = 0; i < children.size(); ++i) {
                if (children[i].isAggregate()) {
                    aggregate = i;
                } else if (const auto entry = byName.find(children[i].name());
                           entry != byName.end() && entry->second == kNone) {
                    entry->second = i;
                }
            }
        }
        const auto found = byName.find(name);
        return found == byName.end() || found->second == kNone ? std::nullopt
                                                               : std::optional<size_t>(found->second);
    }

    static constexpr size_t kNone = static_cast<size_t>(-1);
};

void settleApart(std::span<Frame> forks, std::span<const Below> below, int splitLevels);

// Settles the owners `below` whose paths go on inside `top` from `topDepth` bytes in, then the
// totals of `top` and of every folder between. Depth first without recursion, changing the
// nodes on the way in place (copied first where another handle shares them): a folder's totals
// are summed again once every owner below it is settled. Subfolders of `top` with many owners
// below them are settled side by side, `splitLevels` levels down.
void settle(FileNode& top, std::span<const Below> below, size_t topDepth, int splitLevels) {
    std::vector<Frame> stack;
    stack.push_back(Frame{.node = &top, .next = 0, .last = below.size(), .depth = topDepth});
    std::vector<Frame> forks;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.last) {
            if (stack.size() == 1 && !forks.empty()) settleApart(forks, below, splitLevels - 1);
            FileNode& folder = *frame.node;
            folder.setFields(folder.fieldsWithTotalsOf(folder.children()));
            stack.pop_back();
            continue;
        }
        // The owners that go on through the same child.
        const size_t first = frame.next;
        const std::string_view name = componentAt(below[first].path, frame.depth);
        size_t end = first + 1;
        while (end < frame.last && componentAt(below[end].path, frame.depth) == name)
            ++end;
        frame.next = end;
        if (name.empty()) continue; // a doubled "/" names nothing
        const std::optional<size_t> index = frame.childNamed(name, below, first);
        if (!index) {
            // Not among the children: folded with other small items.
            if (!frame.aggregate) continue;
            int64_t counted = 0;
            int64_t shared = 0;
            for (size_t i = first; i < end; ++i) {
                counted = saturatingAdd(counted, countedBytes(*below[i].owner));
                shared = saturatingAdd(shared, below[i].owner->bytes);
            }
            FileNode& aggregate = frame.node->mutableChild(*frame.aggregate);
            NodeFields fields = aggregate.fields();
            fields.allocatedSize = saturatingAdd(fields.allocatedSize, counted);
            fields.sharedBytesTotal = std::max<int64_t>(fields.sharedBytesTotal - shared, 0);
            aggregate.setFields(fields);
            continue;
        }
        const size_t depth = frame.depth + name.size() + 1;
        FileNode& child = frame.node->mutableChild(*index);
        if (child.isDirectory()) {
            // Owners whose path ends at a folder name nothing to change inside it.
            size_t deeper = first;
            while (deeper < end && below[deeper].path.size() <= frame.depth + name.size())
                ++deeper;
            Frame inner{.node = &child, .next = deeper, .last = end, .depth = depth};
            if (stack.size() == 1 && splitLevels > 0 && end - deeper >= kOwnersApart)
                forks.push_back(std::move(inner));
            else
                stack.push_back(std::move(inner));
            continue;
        }
        if (below[first].path.size() == frame.depth + name.size() && child.isSharedElsewhere()) {
            NodeFields fields = child.fields();
            fields.isSharedElsewhere = false;
            fields.allocatedSize = countedBytes(*below[first].owner);
            fields.sharedBytesTotal = 0;
            child.setFields(fields);
        }
    }
}

// Each fork is a subfolder of one folder, so no two share a node they change.
void settleApart(std::span<Frame> forks, std::span<const Below> below, int splitLevels) {
    const auto settleFork = [below, splitLevels](Frame& fork) {
        settle(*fork.node, below.subspan(fork.next, fork.last - fork.next), fork.depth, splitLevels);
    };
    TaskGroup group;
    for (Frame& fork : forks.subspan(1))
        group.run([&fork, &settleFork] { settleFork(fork); });
    try {
        settleFork(forks[0]);
    } catch (...) {
        group.wait(); // the others still hold references into this folder
        throw;
    }
    group.wait();
}

} // namespace

FileNode withLinkedBytesOwned(FileNode root, const std::vector<LinkOwner>& owners) {
    const std::string rootPath = root.path();
    const std::string prefix = rootPath.ends_with('/') ? rootPath : rootPath + "/";
    // Bytes all counted through other files' extents leave the owner shared.
    std::vector<Below> below;
    for (const LinkOwner& owner : owners)
        if (owner.path.starts_with(prefix) && owner.path.size() > prefix.size() && countedBytes(owner) > 0)
            below.push_back(Below{std::string_view(owner.path).substr(prefix.size()), &owner});
    if (below.empty()) return root;
    // Sorted, the owners below any one folder lie side by side; of two owners of one path
    // the first listed counts.
    parallelStableSort(below, [](const Below& a, const Below& b) { return a.path < b.path; });
    below.erase(std::unique(below.begin(), below.end(),
                            [](const Below& a, const Below& b) { return a.path == b.path; }),
                below.end());

    settle(root, below, 0, kSplitLevels);
    // Like any folder rebuilt, a root whose path was given whole keeps it in file-URL form.
    if (const std::string normalized = fileURLPath(rootPath); normalized != rootPath) {
        const auto kids = root.children();
        return root.rebuilt(std::vector<FileNode>(kids.begin(), kids.end()));
    }
    return root;
}

} // namespace quillmere
