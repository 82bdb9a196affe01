#include "systemdata/Reclaimer.hpp"

#include "base/PathText.hpp"
#include "platform/Processes.hpp"

#include <cerrno>
#include <map>
#include <sys/stat.h>
#include <variant>

namespace quillmere {

using platform::ItemIdentity;
using platform::TrashError;

namespace {

// Byte-exact: two spellings of a name are two files here.
bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/") return path.starts_with('/');
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string joinedFailures(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += "; ";
        text += line;
    }
    return text;
}

std::string lastComponent(const std::string& path) {
    return std::string(lastPathComponent(path));
}

// One input as it was when the operation started: where it really lies and what it was.
struct PreparedItem {
    std::string canonicalPath;
    std::expected<ItemIdentity, TrashError> identity = std::unexpected(TrashError{});
};

} // namespace

// The work of one entry point: inputs prepared up front, free space read around the work.
class Reclaimer::Run {
public:
    explicit Run(const ReclaimerServices& services) : services_(services) {}

    PreparedItem prepare(const std::string& path) {
        if (!path.starts_with('/'))
            return {.canonicalPath = path, .identity = std::unexpected(TrashError::fromErrno(EINVAL))};
        PreparedItem item{.canonicalPath = canonicalItemPath(path)};
        item.identity = services_.files->identify(item.canonicalPath);
        if (item.identity) {
            // Read at the item's folder, which is still there once the item has gone to the
            // Trash (a moved folder can no longer be asked).
            const std::string folder = item.canonicalPath == "/"
                                           ? item.canonicalPath
                                           : deletingLastPathComponent(item.canonicalPath);
            fileSystems_.try_emplace(item.identity->device, folder);
        }
        return item;
    }

    void readBefore() {
        if (fileSystems_.empty()) fileSystems_.try_emplace(0, services_.volumePath);
        for (const auto& [device, path] : fileSystems_)
            before_.push_back(services_.availableBytes(path));
    }

    std::optional<int64_t> measuredFreedBytes() const {
        int64_t freed = 0;
        size_t index = 0;
        for (const auto& [device, path] : fileSystems_) {
            const std::optional<int64_t> after = services_.availableBytes(path);
            const std::optional<int64_t> before = before_[index++];
            if (!after || !before) return std::nullopt;
            freed += *after - *before;
        }
        return freed;
    }

    // The Trash move of one prepared item, with the recycle fallback after a permission error.
    std::expected<void, TrashError> moveToTrash(const PreparedItem& item) const {
        if (!item.identity) return std::unexpected(item.identity.error());
        std::expected<void, TrashError> moved =
            services_.files->moveToTrash(item.canonicalPath, *item.identity);
        if (!moved && isPermissionError(moved.error()))
            return services_.files->recycle(item.canonicalPath, *item.identity, moved.error());
        return moved;
    }

    // Why a scanned item is not moved before trying: protected, or not one item on disk.
    std::optional<std::string> refusal(const FileNode& node) const {
        if (services_.protection->isProtectedForRemoval(node.path())) return std::string(kProtectedReason);
        if (node.isAggregate()) return TrashError{TrashError::Kind::notMovable}.description();
        return std::nullopt;
    }

    void moveNode(const FileNode& node, const PreparedItem& item, Outcome& outcome) const {
        if (std::optional<std::string> reason = refusal(node)) {
            outcome.failures.push_back({node, std::move(*reason)});
            return;
        }
        if (const auto moved = moveToTrash(item); !moved)
            outcome.failures.push_back({node, moved.error().description()});
        else
            outcome.succeeded.push_back(node);
    }

    // Records the folder or items an action names, as they are now.
    void prepareAction(const SystemDataReclaimAction& action) {
        if (const auto* folder = std::get_if<SystemDataReclaimAction::DirectoryContents>(&action.value))
            actionInputs_.try_emplace(folder->folder, prepare(folder->folder));
        else if (const auto* whole = std::get_if<SystemDataReclaimAction::WholeItems>(&action.value))
            for (const SystemDataNamedItem& item : whole->items)
                actionInputs_.try_emplace(item.url, prepare(item.url));
    }

    ActionResult perform(const SystemDataReclaimAction& action) const {
        std::vector<std::string> failures;
        ActionResult result;
        if (const auto* contents = std::get_if<SystemDataReclaimAction::DirectoryContents>(&action.value))
            emptyFolder(actionInputs_.at(contents->folder), contents->folder, result, failures);
        else if (const auto* whole = std::get_if<SystemDataReclaimAction::WholeItems>(&action.value))
            for (const SystemDataNamedItem& named : whole->items)
                moveTested(actionInputs_.at(named.url), named.url, named.label, result, failures);
        else if (const auto* evict =
                     std::get_if<SystemDataReclaimAction::EvictDownloadedICloudItems>(&action.value))
            for (const std::string& file : evict->files)
                if (const auto evicted = services_.files->evictDownloadedCopy(file); !evicted)
                    failures.push_back(lastComponent(file) + ": " + evicted.error());
        if (!failures.empty()) result.failure = joinedFailures(failures);
        return result;
    }

private:
    // Moves the folder's visible entries; the folder stays. Every entry is tested on its own.
    void emptyFolder(const PreparedItem& folder, const std::string& given, ActionResult& result,
                     std::vector<std::string>& failures) const {
        const std::string name = lastComponent(given);
        // Emptying a protected folder (the home folder, a mount, a system folder) would remove
        // what the policy keeps: a misset folder is refused whole.
        if (services_.protection->isProtectedForRemoval(given)) {
            failures.push_back(name + ": " + kProtectedReason);
            return;
        }
        std::expected<std::vector<ListedChild>, TrashError> children =
            folder.identity ? services_.files->listVisibleChildren(folder.canonicalPath, *folder.identity)
                            : std::unexpected(folder.identity.error());
        if (!children) {
            failures.push_back(children.error().kind == TrashError::Kind::changed
                                   ? name + ": " + children.error().description()
                                   : "couldn't list the contents of " + name);
            return;
        }
        for (const ListedChild& child : *children) {
            const PreparedItem item{.canonicalPath = appendingPathComponent(folder.canonicalPath, child.name),
                                    .identity = child.identity};
            moveTested(item, item.canonicalPath, child.name, result, failures);
        }
    }

    // One item of an action: refused when `given` is protected, else moved; a failure line
    // names it by `label`, a success records where it really was.
    void moveTested(const PreparedItem& item, const std::string& given, const std::string& label,
                    ActionResult& result, std::vector<std::string>& failures) const {
        if (services_.protection->isProtectedForRemoval(given)) {
            failures.push_back(label + ": " + kProtectedReason);
        } else if (const auto moved = moveToTrash(item); !moved) {
            failures.push_back(label + ": " + moved.error().description());
        } else {
            result.removedPaths.insert(item.canonicalPath);
        }
    }

    const ReclaimerServices& services_;
    std::map<std::string, PreparedItem> actionInputs_;
    std::map<dev_t, std::string> fileSystems_;
    std::vector<std::optional<int64_t>> before_;
};

ReclaimerServices ReclaimerServices::current() {
    return {.volumePath = "/",
            .availableBytes = platform::availableBytesAt,
            .runningExecutables = platform::ownProcessExecutables,
            .files = std::make_shared<TrashFileOperations>(),
            .protection = std::make_shared<const ProtectedLocations>(ProtectedLocations::current())};
}

Reclaimer::Reclaimer(ReclaimerServices services) : services_(std::move(services)) {}

Reclaimer::Outcome Reclaimer::reclaim(const std::vector<FileNode>& nodes,
                                      const std::vector<SystemDataReclaimEntry>& systemData) const {
    Outcome outcome;
    for (const FileNode& node : nodes)
        outcome.promisedBytes += node.allocatedSize();
    for (const SystemDataReclaimEntry& entry : systemData)
        outcome.promisedBytes += entry.sizeBytes;

    Run run(services_);
    std::vector<PreparedItem> prepared;
    prepared.reserve(nodes.size());
    for (const FileNode& node : nodes)
        prepared.push_back(run.prepare(node.path()));
    for (const SystemDataReclaimEntry& entry : systemData)
        run.prepareAction(entry.action);
    run.readBefore();

    for (size_t i = 0; i < nodes.size(); ++i)
        run.moveNode(nodes[i], prepared[i], outcome);
    for (const SystemDataReclaimEntry& entry : systemData) {
        ActionResult result = run.perform(entry.action);
        outcome.systemDataRemovedPaths.merge(result.removedPaths);
        if (result.failure)
            outcome.systemDataFailures.push_back({entry, std::move(*result.failure)});
        else
            outcome.systemDataSucceeded.push_back(entry);
    }
    outcome.measuredFreedBytes = run.measuredFreedBytes();
    return outcome;
}

Reclaimer::Outcome Reclaimer::uninstall(const FileNode& appBundle,
                                        const std::vector<FileNode>& leftovers) const {
    Outcome outcome;
    outcome.promisedBytes = appBundle.allocatedSize();
    for (const FileNode& leftover : leftovers)
        outcome.promisedBytes += leftover.allocatedSize();

    Run run(services_);
    const PreparedItem bundle = run.prepare(appBundle.path());
    std::vector<PreparedItem> prepared;
    prepared.reserve(leftovers.size());
    for (const FileNode& leftover : leftovers)
        prepared.push_back(run.prepare(leftover.path()));
    run.readBefore();

    std::optional<std::string> reason = refusalReason(appBundle);
    if (!reason) reason = run.refusal(appBundle);
    if (!reason)
        if (const auto moved = run.moveToTrash(bundle); !moved) reason = moved.error().description();
    if (reason) {
        outcome.failures.push_back({appBundle, std::move(*reason)});
        outcome.measuredFreedBytes = run.measuredFreedBytes();
        return outcome;
    }
    outcome.succeeded.push_back(appBundle);
    for (size_t i = 0; i < leftovers.size(); ++i)
        run.moveNode(leftovers[i], prepared[i], outcome);
    outcome.measuredFreedBytes = run.measuredFreedBytes();
    return outcome;
}

std::optional<std::string> Reclaimer::refusalReason(const FileNode& appBundle) const {
    if (services_.protection->isProtectedForRemoval(appBundle.path())) return std::string(kProtectedReason);
    // Executables are named with every link resolved, so the bundle is too.
    const std::string bundle = FileNode::canonicalPath(standardizedPath(appBundle.path()));
    for (const std::string& executable : services_.runningExecutables())
        if (isAtOrBelow(executable, bundle))
            return std::string(appBundle.name()) + " is currently running — quit it, then try again";
    return std::nullopt;
}

Reclaimer::ActionResult Reclaimer::perform(const SystemDataReclaimAction& action) const {
    Run run(services_);
    run.prepareAction(action);
    return run.perform(action);
}

} // namespace quillmere
