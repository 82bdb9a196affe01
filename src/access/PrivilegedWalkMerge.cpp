#include "access/PrivilegedWalkMerge.hpp"

#include "access/PrivilegedNodeFields.hpp"
#include "access/PrivilegedPaths.hpp"
#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "base/Unicode.hpp"
#include "scan/PrivacyRule.hpp"
#include "scan/Refolding.hpp"
#include "scan/SmallItemFolding.hpp"

#include <algorithm>
#include <exception>
#include <thread>

namespace quillmere {
namespace {

// A path in the form in which the merge compares it: as a file URL gives it, then
// canonically equivalent texts made equal, as the tree's own searches compare them.
std::string comparable(std::string_view path) {
    return canonicalText(fileURLPath(path));
}

// Whether the comparable `path` is the comparable `folder` or lies inside it.
bool isSameOrInside(std::string_view path, std::string_view folder) {
    return path == folder || path.starts_with(folderPrefix(folder));
}

bool isInsideAny(std::string_view path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return isSameOrInside(path, folder); });
}

std::string aggregateComponentOf(const PrivilegedNode& record) {
    return aggregateComponent(saturatingAdd(record.folderCount, record.fileCount));
}

} // namespace

std::vector<DeniedPath> selectPathsForPrivilegedWalk(const std::vector<DeniedPath>& deniedPaths,
                                                     const std::string& homeDirectory) {
    const std::vector<std::string> homes{homeDirectory};
    std::vector<const DeniedPath*> eligible;
    for (const DeniedPath& denied : deniedPaths)
        if (isOutsidePrivacyProtectedPaths(fileURLPath(denied.url), homes)) eligible.push_back(&denied);
    // Shortest first, so a folder always comes before anything that could lie inside it.
    std::stable_sort(eligible.begin(), eligible.end(), [](const DeniedPath* a, const DeniedPath* b) {
        return fileURLPath(a->url).size() < fileURLPath(b->url).size();
    });
    std::vector<DeniedPath> chosen;
    std::vector<std::string> kept;
    for (const DeniedPath* denied : eligible) {
        std::string path = comparable(denied->url);
        if (isInsideAny(path, kept)) continue;
        kept.push_back(std::move(path));
        chosen.push_back(*denied);
    }
    return chosen;
}

DiskScanResult augmentScanResult(DiskScanResult result, PrivilegedScanning& helper,
                                 const std::string& homeDirectory) {
    const std::vector<DeniedPath> chosen = selectPathsForPrivilegedWalk(result.deniedPaths, homeDirectory);
    if (chosen.empty()) return result;

    FileNode root = result.root;
    std::vector<std::string> resolved;
    std::vector<std::string> graftedInto; // the folders that took a walked tree
    for (const DeniedPath& denied : chosen) {
        const std::string path = fileURLPath(denied.url);
        PrivilegedWalk walk;
        try {
            walk = helper.walkSubtree(path);
        } catch (const std::exception&) {
            // A helper that fails in any way only leaves its folder denied.
        }
        // A tree that is not the folder asked for, or whose nodes leave their parents, would
        // count bytes twice or land in the wrong place: it is not grafted. A decoded tree was
        // checked while it was read.
        std::optional<FileNode> tree = std::move(walk.tree);
        if (tree && !tree->isAggregate() && tree->path() != path) tree.reset();
        if (!tree && walk.node && !privilegedTreeFault(*walk.node, path))
            tree = fileNodeFromPrivileged(*walk.node, deletingLastPathComponent(path));
        if (tree) {
            const FileNode& node = *tree;
            if (comparable(path) == comparable(root.path()) && node.isDirectory()) {
                // The scan could not open its own root: the walked tree is the root.
                const auto kids = node.children();
                root = FileNode::at(node.ownFolderPath(), root.name(), node.fields(),
                                    {kids.begin(), kids.end()});
                resolved.push_back(comparable(path));
            } else if (std::optional<FileNode> grafted =
                           root.replacingSubtree(fileURLPath(denied.parent), node)) {
                root = std::move(*grafted);
                resolved.push_back(comparable(path));
                // A reply that is itself an aggregate has no folder to fold anew around.
                if (!node.isAggregate()) graftedInto.push_back(fileURLPath(denied.parent));
            }
        }
        // One hung helper delays the scan by one time limit, not by one per folder.
        if (walk.timedOut) break;
    }
    if (resolved.empty()) return result;

    std::erase_if(result.deniedPaths,
                  [&](const DeniedPath& denied) { return isInsideAny(comparable(denied.url), resolved); });
    // The scan kept every folder holding a denied path unfolded; with the walked trees in place
    // the folders above them fold as the helper's own scan of the whole would, but what is
    // still denied stays where a later walk can find it.
    std::vector<std::string> stillDenied;
    for (const DeniedPath& denied : result.deniedPaths)
        stillDenied.push_back(fileURLPath(denied.url));
    result.root = refoldingAlong(root, graftedInto, stillDenied);
    result.deniedBytesEstimate = 0;
    for (const DeniedPath& denied : result.deniedPaths)
        result.deniedBytesEstimate = saturatingAdd(result.deniedBytesEstimate, denied.estimatedBytes);
    return result;
}

std::future<DiskScanResult> augmentScanResultInBackground(DiskScanResult result,
                                                          std::shared_ptr<PrivilegedScanning> helper,
                                                          std::string homeDirectory) {
    // A detached thread and a promise: unlike std::async's, this future never waits for the
    // pass when it is dropped, so a caller may leave a pass stuck on the helper behind.
    auto promise = std::make_shared<std::promise<DiskScanResult>>();
    std::future<DiskScanResult> future = promise->get_future();
    std::thread([promise, result = std::move(result), helper = std::move(helper),
                 homeDirectory = std::move(homeDirectory)]() mutable {
        try {
            promise->set_value(augmentScanResult(std::move(result), *helper, homeDirectory));
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    }).detach();
    return future;
}

FileNode fileNodeFromPrivileged(const PrivilegedNode& record, std::string_view parentPath) {
    // Folders are built after their children, from an explicit stack: a deep reply costs no
    // recursion. Each folder's path is shared by everything below it.
    struct Frame {
        const PrivilegedNode* record;
        FolderPath folder;
        std::string_view pathText; // the record's own path, to place its children
        std::vector<FileNode> children;
        std::size_t next = 0;
    };
    const auto finish = [](Frame& frame) {
        return FileNode::at(frame.folder, frame.record->name, nodeFieldsOf(*frame.record),
                            std::move(frame.children));
    };

    if (record.isAggregate)
        return FileNode::at(FolderPath::root(fileURLPath(parentPath)).child(aggregateComponentOf(record)),
                            record.name, nodeFieldsOf(record));
    std::vector<Frame> stack;
    stack.push_back(
        {&record, FolderPath::root(fileURLPath(record.path)), withoutTrailingSlashes(record.path)});
    while (true) {
        Frame& frame = stack.back();
        if (frame.next == frame.record->children.size()) {
            FileNode built = finish(frame);
            stack.pop_back();
            if (stack.empty()) return built;
            stack.back().children.push_back(std::move(built));
            continue;
        }
        const PrivilegedNode& child = frame.record->children[frame.next++];
        if (child.isAggregate) {
            frame.children.push_back(FileNode::at(frame.folder.child(aggregateComponentOf(child)), child.name,
                                                  nodeFieldsOf(child)));
            continue;
        }
        const std::string_view childPath = withoutTrailingSlashes(child.path);
        const std::optional<std::string_view> component = componentDirectlyInside(childPath, frame.pathText);
        const bool isLeaf = child.children.empty();
        if (component && isLeaf && !child.isDirectory && *component == child.name) {
            frame.children.push_back(FileNode::under(frame.folder, child.name, nodeFieldsOf(child)));
            continue;
        }
        FolderPath folder =
            component ? frame.folder.child(*component) : FolderPath::root(fileURLPath(child.path));
        if (isLeaf) {
            frame.children.push_back(FileNode::at(folder, child.name, nodeFieldsOf(child)));
            continue;
        }
        stack.push_back({&child, std::move(folder), childPath});
    }
}

} // namespace quillmere
