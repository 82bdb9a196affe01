#pragma once

#include "platform/SafePath.hpp"
#include "platform/Trash.hpp"
#include "platform/TrashError.hpp"

#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// One entry of a folder, as it was when listed.
struct ListedChild {
    std::string name;
    platform::ItemIdentity identity;

    bool operator==(const ListedChild&) const = default;
};

// Every file-system operation a reclaim performs, so tests can inject refusals (CI runs as
// root, where nothing is ever denied) and stand in for what Linux lacks. Paths are canonical.
// One object serves one removal run at a time; finishRun ends the run.
class ReclaimFileOperations {
public:
    virtual ~ReclaimFileOperations() = default;

    // What the item at `path` and its folder are now; read when the user confirms, so that a
    // later swap of either is noticed (see platform::pinItem).
    virtual std::expected<platform::ItemPin, platform::TrashError> pin(const std::string& path);
    // Moves the item to the Trash when it and its folder still are what `expected` pinned.
    virtual std::expected<void, platform::TrashError>
    moveToTrash(const std::string& path, const std::optional<platform::ItemPin>& expected) = 0;
    // The second way to the Trash after a permission error. Linux has no recycle service: the
    // default keeps the error.
    virtual std::expected<void, platform::TrashError>
    recycle(const std::string& path, const std::optional<platform::ItemPin>& expected,
            const platform::TrashError& refusal);
    // The entries of the folder (hidden ones skipped, in listing order) when the folder and the
    // one holding it still are what `expected` pinned; opened without following links.
    virtual std::expected<std::vector<ListedChild>, platform::TrashError>
    listVisibleChildren(const std::string& folder, const std::optional<platform::ItemPin>& expected);
    // Drops the local copy of a cloud item, which stays in the cloud; the failure's description
    // otherwise. Linux has no cloud provider: the default always fails.
    virtual std::expected<void, std::string> evictDownloadedCopy(const std::string& path);
    // The run's moves are done: bookkeeping kept for the run's end (the Trash's directorysizes
    // cache) is written now.
    virtual void finishRun() {}
};

// The real file system with the user's freedesktop.org Trash.
class TrashFileOperations : public ReclaimFileOperations {
public:
    explicit TrashFileOperations(platform::TrashSettings settings = platform::TrashSettings::current());
    std::expected<void, platform::TrashError>
    moveToTrash(const std::string& path, const std::optional<platform::ItemPin>& expected) override;
    void finishRun() override { sizes_.flush(); }

private:
    platform::Trash trash_;
    platform::DirectorySizesBatch sizes_;
};

} // namespace quillmere
