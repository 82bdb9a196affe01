#include "systemdata/Reclaimer.hpp"

#include "base/PathText.hpp"
#include "platform/Processes.hpp"

#include <map>
#include <sys/stat.h>
#include <variant>

namespace quillmere {

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

PinnedItem pinPath(const ReclaimerServices& services, const std::string& path) {
    // A path a scan never gives: "a/b/.." names a, not anything under a/b.
    if (!platform::isPlainAbsolutePath(path))
        return {.canonicalPath = path, .pin = std::unexpected(TrashError{TrashError::Kind::unclearPath})};
    PinnedItem item{.canonicalPath = canonicalItemPath(path)};
    item.pin = services.files->pin(item.canonicalPath);
    return item;
}

} // namespace

// The work of one entry point: inputs pinned (or their pins from the confirmation taken),
// free space read around the work, the file operations' run ended however it ends.
class Reclaimer::Run {
public:
    Run(const ReclaimerServices& services, const ReclaimPins* pins) : services_(services), pins_(pins) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() { finish(); }

    void finish() noexcept {
        if (finished_) return;
        finished_ = true;
        try {
            services_.files->finishRun();
        } catch (...) {
        }
    }

    PinnedItem prepare(const std::string& path) {
        const auto confirmed = pins_ ? pins_->find(path) : ReclaimPins::const_iterator{};
        PinnedItem item = pins_ && confirmed != pins_->end() ? confirmed->second : pinPath(services_, path);
        if (item.pin) {
            // Read at the item's folder, which is still there once the item has gone to the
            // Trash (a moved folder can no longer be asked).
            const std::string folder = item.canonicalPath == "/"
                                           ? item.canonicalPath
                                           : deletingLastPathComponent(item.canonicalPath);
            fileSystems_.try_emplace(item.pin->item.device, folder);
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
    std::expected<void, TrashError> moveToTrash(const PinnedItem& item) const {
        if (!item.pin) return std::unexpected(item.pin.error());
        std::expected<void, TrashError> moved = services_.files->moveToTrash(item.canonicalPath, *item.pin);
        if (!moved && isPermissionError(moved.error()))
            return services_.files->recycle(item.canonicalPath, *item.pin, moved.error());
        return moved;
    }

    // Why a scanned item is not moved before trying: protected, or not one item on disk.
    std::optional<std::string> refusal(const FileNode& node) const {
        if (services_.protection->isProtectedForRemoval(node.path())) return std::string(kProtectedReason);
        if (node.isAggregate()) return TrashError{TrashError::Kind::notMovable}.description();
        return std::nullopt;
    }

    void moveNode(const FileNode& node, const PinnedItem& item, Outcome& outcome) const {
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
    void emptyFolder(const PinnedItem& folder, const std::string& given, ActionResult& result,
                     std::vector<std::string>& failures) const {
        const std::string name = lastComponent(given);
        // Emptying a protected folder (the home folder, a mount, a system folder) would remove
        // what the policy keeps: a misset folder is refused whole.
        if (services_.protection->isProtectedForRemoval(given)) {
            failures.push_back(name + ": " + kProtectedReason);
            return;
        }
        std::expected<std::vector<ListedChild>, TrashError> children =
            folder.pin ? services_.files->listVisibleChildren(folder.canonicalPath, *folder.pin)
                       : std::unexpected(folder.pin.error());
        if (!children) {
            failures.push_back(children.error().kind == TrashError::Kind::changed
                                   ? name + ": " + children.error().description()
                                   : "couldn't list the contents of " + name);
            return;
        }
        for (const ListedChild& child : *children) {
            const PinnedItem item{.canonicalPath = appendingPathComponent(folder.canonicalPath, child.name),
                                  .pin =
                                      platform::ItemPin{.parent = folder.pin->item, .item = child.identity}};
            moveTested(item, item.canonicalPath, child.name, result, failures);
        }
    }

    // One item of an action: refused when `given` is protected, else moved; a failure line
    // names it by `label`, a success records where it really was.
    void moveTested(const PinnedItem& item, const std::string& given, const std::string& label,
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
    const ReclaimPins* pins_;
    bool finished_ = false;
    std::map<std::string, PinnedItem> actionInputs_;
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

ReclaimPins Reclaimer::pin(const std::vector<FileNode>& nodes,
                           const std::vector<SystemDataReclaimEntry>& systemData) const {
    ReclaimPins pins;
    const auto add = [&](const std::string& path) {
        if (!pins.contains(path)) pins.emplace(path, pinPath(services_, path));
    };
    for (const FileNode& node : nodes)
        add(node.path());
    for (const SystemDataReclaimEntry& entry : systemData) {
        if (const auto* folder = std::get_if<SystemDataReclaimAction::DirectoryContents>(&entry.action.value))
            add(folder->folder);
        else if (const auto* whole = std::get_if<SystemDataReclaimAction::WholeItems>(&entry.action.value))
            for (const SystemDataNamedItem& item : whole->items)
                add(item.url);
    }
    return pins;
}

Reclaimer::Outcome Reclaimer::reclaim(const std::vector<FileNode>& nodes,
                                      const std::vector<SystemDataReclaimEntry>& systemData,
                                      const ReclaimPins* pins) const {
    Outcome outcome;
    for (const FileNode& node : nodes)
        outcome.promisedBytes += node.allocatedSize();
    for (const SystemDataReclaimEntry& entry : systemData)
        outcome.promisedBytes += entry.sizeBytes;

    Run run(services_, pins);
    std::vector<PinnedItem> prepared;
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
    run.finish();
    outcome.measuredFreedBytes = run.measuredFreedBytes();
    return outcome;
}

Reclaimer::Outcome Reclaimer::uninstall(const FileNode& appBundle, const std::vector<FileNode>& leftovers,
                                        const ReclaimPins* pins) const {
    Outcome outcome;
    outcome.promisedBytes = appBundle.allocatedSize();
    for (const FileNode& leftover : leftovers)
        outcome.promisedBytes += leftover.allocatedSize();

    Run run(services_, pins);
    const PinnedItem bundle = run.prepare(appBundle.path());
    std::vector<PinnedItem> prepared;
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
        run.finish();
        outcome.measuredFreedBytes = run.measuredFreedBytes();
        return outcome;
    }
    outcome.succeeded.push_back(appBundle);
    for (size_t i = 0; i < leftovers.size(); ++i)
        run.moveNode(leftovers[i], prepared[i], outcome);
    run.finish();
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
    Run run(services_, nullptr);
    run.prepareAction(action);
    return run.perform(action);
}

} // namespace quillmere
