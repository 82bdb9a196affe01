// Searches and rebuilds of FileNode trees. All of them walk with explicit stacks,
// so a tree of any depth is safe, and compare paths by canonical equivalence.
#include "base/PathText.hpp"
#include "base/Unicode.hpp"
#include "platform/FolderListing.hpp"
#include "platform/HostSystem.hpp"
#include "scan/FileNode.hpp"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

namespace quillmere {
namespace {

// Names on Linux are bytes: two files whose names differ only in Unicode form are two files.
// A search therefore first matches bytes exactly and compares canonically only when that
// finds nothing.
enum class Matching { exact, canonical };

// `text` in the form `matching` compares.
std::string matchForm(Matching matching, std::string_view text) {
    return matching == Matching::exact ? std::string(text) : canonicalText(text);
}

// Locates nodes' paths inside one target path without building each node's path
// text: a child whose path is its parent's joined with one component is matched by
// comparing that component at the parent's end.
class TargetPath {
public:
    TargetPath(std::string_view target, Matching matching)
        : matching_(matching), target_(matchForm(matching, target)) {}

    // Where `node`'s path ends in the target when the path is a text prefix of it.
    std::optional<size_t> matchWhole(const FileNode& node) const {
        const std::string p = matchForm(matching_, node.path());
        if (!target_.starts_with(p)) return std::nullopt;
        return p.size();
    }

    std::optional<size_t> matchChild(const FileNode& parent, size_t parentEnd, const FileNode& child) const {
        const std::optional<std::string_view> component = child.componentBelow(parent);
        if (!component) return matchWhole(child);
        size_t position = parentEnd;
        if (parentEnd == 0 || target_[parentEnd - 1] != '/') {
            if (position >= target_.size() || target_[position] != '/') return std::nullopt;
            ++position;
        }
        std::string canonical;
        std::string_view text = *component;
        if (matching_ == Matching::canonical && !isAscii(text)) {
            canonical = canonicalText(text);
            text = canonical;
        }
        if (target_.size() - position < text.size() || target_.compare(position, text.size(), text) != 0)
            return std::nullopt;
        return position + text.size();
    }

    bool isWhole(size_t end) const { return end == target_.size(); }

    // Whether the target lies below a node whose path ends at `end` (starts with its prefix).
    bool liesBelow(size_t end) const {
        if (end > 0 && target_[end - 1] == '/') return true;
        return end < target_.size() && target_[end] == '/';
    }

private:
    Matching matching_;
    std::string target_;
};

std::optional<FileNode> findMatching(const FileNode& root, std::string_view path, Matching matching) {
    const TargetPath target(path, matching);
    const std::optional<size_t> rootEnd = target.matchWhole(root);
    if (!rootEnd) return std::nullopt;
    std::vector<std::pair<FileNode, size_t>> stack{{root, *rootEnd}};
    while (!stack.empty()) {
        auto [node, end] = std::move(stack.back());
        stack.pop_back();
        if (target.isWhole(end)) return node;
        if (!target.liesBelow(end)) continue;
        const auto kids = node.children();
        for (size_t i = kids.size(); i-- > 0;)
            if (const auto childEnd = target.matchChild(node, end, kids[i]))
                stack.emplace_back(kids[i], *childEnd);
    }
    return std::nullopt;
}

std::optional<FileNode> replacingMatching(const FileNode& root, std::string_view folderPath,
                                          const FileNode& node, Matching matching) {
    const TargetPath target(folderPath, matching);
    struct Frame {
        FileNode node;
        size_t end;
        size_t next = 0;
    };
    std::vector<Frame> chain;
    std::optional<FileNode> receiver;

    if (const auto rootEnd = target.matchWhole(root)) {
        if (target.isWhole(*rootEnd))
            receiver = root;
        else if (root.isDirectory() && target.liesBelow(*rootEnd))
            chain.push_back({root, *rootEnd});
    }
    while (!receiver && !chain.empty()) {
        Frame& frame = chain.back();
        const auto kids = frame.node.children();
        if (frame.next >= kids.size()) {
            chain.pop_back();
            continue;
        }
        const FileNode& child = kids[frame.next++];
        const auto childEnd = target.matchChild(frame.node, frame.end, child);
        if (!childEnd) continue;
        if (target.isWhole(*childEnd))
            receiver = child;
        else if (child.isDirectory() && target.liesBelow(*childEnd))
            chain.push_back({child, *childEnd});
    }
    if (!receiver) return std::nullopt;

    // The child the new node replaces: the one with its exact path, else a canonical match.
    const std::string newPath = node.path();
    const auto children = receiver->children();
    const bool exactChild = std::any_of(children.begin(), children.end(),
                                        [&](const FileNode& child) { return child.path() == newPath; });
    const Matching childMatching = exactChild ? Matching::exact : Matching::canonical;
    const std::string newKey = matchForm(childMatching, newPath);
    std::vector<FileNode> kept;
    for (const FileNode& child : children)
        if (matchForm(childMatching, child.path()) != newKey) kept.push_back(child);
    kept.push_back(node);
    FileNode result = receiver->rebuilt(std::move(kept));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const auto kids = it->node.children();
        std::vector<FileNode> updated(kids.begin(), kids.end());
        updated[it->next - 1] = std::move(result);
        result = it->node.rebuilt(std::move(updated));
    }
    return result;
}

} // namespace

std::optional<FileNode> FileNode::find(std::string_view path) const {
    if (std::optional<FileNode> exact = findMatching(*this, path, Matching::exact)) return exact;
    return findMatching(*this, path, Matching::canonical);
}

std::optional<FileNode> FileNode::replacingSubtree(std::string_view folderPath, const FileNode& node) const {
    if (std::optional<FileNode> exact = replacingMatching(*this, folderPath, node, Matching::exact))
        return exact;
    return replacingMatching(*this, folderPath, node, Matching::canonical);
}

std::optional<std::vector<FileNode>> FileNode::ancestors(std::string_view path) const {
    const TargetPath target(path, Matching::canonical);
    const std::optional<size_t> rootEnd = target.matchWhole(*this);
    if (!rootEnd || !target.liesBelow(*rootEnd)) return std::nullopt;
    std::vector<FileNode> chain;
    FileNode current = *this;
    size_t currentEnd = *rootEnd;
    while (true) {
        const FileNode* next = nullptr;
        size_t nextEnd = 0;
        for (const FileNode& child : current.children()) {
            if (child.isAggregate()) continue;
            const auto childEnd = target.matchChild(current, currentEnd, child);
            if (childEnd && !target.isWhole(*childEnd) && target.liesBelow(*childEnd)) {
                next = &child;
                nextEnd = *childEnd;
                break;
            }
        }
        if (!next) {
            for (const FileNode& child : current.children()) {
                const auto childEnd = target.matchChild(current, currentEnd, child);
                if (childEnd && target.isWhole(*childEnd)) return chain;
            }
            return std::nullopt;
        }
        if (next->children().empty()) return std::nullopt;
        FileNode folder = *next;
        chain.push_back(folder);
        current = std::move(folder);
        currentEnd = nextEnd;
    }
}

namespace {

// The tree without the nodes whose resolved path, in the form `matching` compares, is one of
// `keys`; the keys that removed something are added to `matched`.
std::optional<FileNode> removingMatching(const FileNode& root, Matching matching,
                                         const std::unordered_set<std::string>& keys,
                                         std::unordered_set<std::string>& matched) {
    std::vector<std::vector<std::string>> removedComponents;
    removedComponents.reserve(keys.size());
    for (const std::string& key : keys)
        removedComponents.push_back(pathComponents(key));
    const auto isPrefix = [&](const std::vector<std::string>& own, const std::vector<std::string>& removed) {
        if (matching == Matching::canonical) return isComponentPrefix(own, removed);
        return own.size() <= removed.size() && std::equal(own.begin(), own.end(), removed.begin());
    };

    enum class Action { remove, keep, descend };
    const auto decide = [&](const FileNode& node, const std::string& nodePath) {
        const std::string key = matchForm(matching, FileNode::canonicalPath(nodePath));
        if (keys.contains(key)) {
            matched.insert(key);
            return Action::remove;
        }
        if (node.isDirectory()) {
            const std::vector<std::string> own = pathComponents(key);
            for (const auto& removed : removedComponents)
                if (isPrefix(own, removed)) return Action::descend;
        }
        return Action::keep;
    };

    struct Frame {
        FileNode node;
        std::string path;
        std::vector<FileNode> kept;
        size_t next = 0;
    };
    std::string rootPath = root.path();
    switch (decide(root, rootPath)) {
    case Action::remove:
        return std::nullopt;
    case Action::keep:
        return root;
    case Action::descend:
        break;
    }
    std::vector<Frame> stack;
    stack.push_back({root, std::move(rootPath), {}, 0});
    while (true) {
        Frame& frame = stack.back();
        const auto kids = frame.node.children();
        if (frame.next < kids.size()) {
            const FileNode& child = kids[frame.next++];
            const auto component = child.componentBelow(frame.node);
            std::string childPath = component ? appendingPathComponent(frame.path, *component) : child.path();
            switch (decide(child, childPath)) {
            case Action::remove:
                break;
            case Action::keep:
                frame.kept.push_back(child);
                break;
            case Action::descend:
                stack.push_back({child, std::move(childPath), {}, 0});
                break;
            }
            continue;
        }
        FileNode result = frame.node.rebuilt(std::move(frame.kept));
        stack.pop_back();
        if (stack.empty()) return result;
        stack.back().kept.push_back(std::move(result));
    }
}

} // namespace

std::optional<FileNode> FileNode::removing(const PathSet& canonicalPaths) const {
    // Paths named exactly go first; a path is compared canonically only when no node had it
    // byte for byte.
    std::unordered_set<std::string> matched;
    std::optional<FileNode> result =
        removingMatching(*this, Matching::exact, canonicalPaths.exactPaths(), matched);
    std::unordered_set<std::string> unmatched;
    for (const std::string& path : canonicalPaths.exactPaths())
        if (!matched.contains(path)) unmatched.insert(canonicalText(path));
    if (!result || unmatched.empty()) return result;
    std::unordered_set<std::string> alsoMatched;
    return removingMatching(*result, Matching::canonical, unmatched, alsoMatched);
}

std::string FileNode::canonicalPath(std::string_view path) {
    std::string current = path.starts_with('/') ? std::string(path)
                                                : appendingPathComponent(platform::currentDirectory(), path);
    current = fileURLPath(current);
    std::vector<std::string> missing;
    while (current != "/" && !platform::itemExists(current)) {
        missing.emplace_back(lastPathComponent(current));
        current = deletingLastPathComponent(current);
    }
    std::string resolved = current;
    if (char* real = ::realpath(current.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        resolved = appendingPathComponent(resolved, *it);
    return resolved;
}

} // namespace quillmere
