#pragma once

// Helpers of the Reclaimer's tests: file operations that inject refusals and hooks around the
// real Trash, fake capacity readings, and a Reclaimer wired to a scratch home Trash.

#include "SystemDataTestSupport.hpp"
#include "platform/Mounts.hpp"
#include "scan/ScanTestSupport.hpp"
#include "scan/TreeBuilders.hpp"
#include "systemdata/Reclaimer.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillmere::testing {

class InjectedFileOperations : public TrashFileOperations {
public:
    using TrashFileOperations::TrashFileOperations;

    std::map<std::string, platform::TrashError> refusals; // by canonical path
    std::function<void(const std::string& path)> beforeMove;
    std::function<void(const std::string& folder)> beforeListing;
    int finishedRuns = 0;
    std::function<std::expected<void, platform::TrashError>(const std::string&)> recycler;
    std::function<std::expected<void, std::string>(const std::string&)> evictor;
    std::vector<std::string> moved;
    std::vector<std::string> recycled;

    std::expected<void, platform::TrashError>
    moveToTrash(const std::string& path, const std::optional<platform::ItemPin>& expected) override {
        if (beforeMove) beforeMove(path);
        moved.push_back(path);
        if (const auto it = refusals.find(path); it != refusals.end()) return std::unexpected(it->second);
        return TrashFileOperations::moveToTrash(path, expected);
    }
    std::expected<void, platform::TrashError> recycle(const std::string& path,
                                                      const std::optional<platform::ItemPin>& expected,
                                                      const platform::TrashError& refusal) override {
        recycled.push_back(path);
        if (recycler) return recycler(path);
        return TrashFileOperations::recycle(path, expected, refusal);
    }
    std::expected<std::vector<ListedChild>, platform::TrashError>
    listVisibleChildren(const std::string& folder,
                        const std::optional<platform::ItemPin>& expected) override {
        if (beforeListing) beforeListing(folder);
        return TrashFileOperations::listVisibleChildren(folder, expected);
    }
    std::expected<void, std::string> evictDownloadedCopy(const std::string& path) override {
        if (evictor) return evictor(path);
        return TrashFileOperations::evictDownloadedCopy(path);
    }
    void finishRun() override {
        ++finishedRuns;
        TrashFileOperations::finishRun();
    }
};

// Free-space readings from a script: the nth reading of a path gets its nth value; paths
// without a script of their own share the one under "*".
struct FakeCapacity {
    std::map<std::string, std::vector<std::optional<int64_t>>> script;
    std::shared_ptr<std::vector<std::string>> asked = std::make_shared<std::vector<std::string>>();

    std::function<std::optional<int64_t>(const std::string&)> reader() const {
        auto remaining = std::make_shared<std::map<std::string, std::vector<std::optional<int64_t>>>>(script);
        return [remaining, asked = asked](const std::string& path) -> std::optional<int64_t> {
            asked->push_back(path);
            auto& values = remaining->contains(path) ? (*remaining)[path] : (*remaining)["*"];
            if (values.empty()) return std::nullopt;
            const std::optional<int64_t> value = values.front();
            values.erase(values.begin());
            return value;
        };
    }
};

// A scratch disk: items under `scratch`, the home Trash in scratch/data, a home folder in
// scratch/home, and the live mount table.
struct ReclaimFixture {
    ScratchFolder scratch;
    std::string canonicalRoot = FileNode::canonicalPath(scratch.path());
    std::shared_ptr<InjectedFileOperations> files = std::make_shared<InjectedFileOperations>(
        platform::TrashSettings{.dataHome = canonicalRoot + "/data",
                                .uid = ::geteuid(),
                                .mounts = [] { return platform::mountTable(platform::MountHost::system()); },
                                .now = [] { return std::time_t{1700000000}; }});
    std::vector<std::string> running;
    FakeCapacity capacity;

    std::string operator/(const std::string& relative) const { return canonicalRoot + "/" + relative; }

    ProtectionRoots roots() const { return ProtectionRoots{.home = canonicalRoot + "/home"}; }

    Reclaimer reclaimer(std::optional<ProtectionRoots> protection = std::nullopt) const {
        return Reclaimer(
            ReclaimerServices{.volumePath = "/",
                              .availableBytes = capacity.reader(),
                              .runningExecutables = [running = running] { return running; },
                              .files = files,
                              .protection = std::make_shared<const ProtectedLocations>(
                                  protection.value_or(roots()), [](const std::string&) { return false; })});
    }

    bool inTrash(const std::string& name) const {
        struct stat info {};
        return ::lstat((canonicalRoot + "/data/Trash/files/" + name).c_str(), &info) == 0;
    }
};

inline bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

inline FileNode aggregateAt(const std::string& path, int64_t size) {
    return FileNode("3 small items", path, false, false, size, false, false, 0, true, 0, 3, 0, std::nullopt,
                    {});
}

inline std::vector<std::string> pathsOf(const std::vector<FileNode>& nodes) {
    std::vector<std::string> paths;
    for (const FileNode& node : nodes)
        paths.push_back(node.path());
    return paths;
}

inline std::vector<std::pair<std::string, std::string>> failuresOf(const Reclaimer::Outcome& outcome) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Reclaimer::ItemFailure& failure : outcome.failures)
        out.emplace_back(failure.node.path(), failure.reason);
    return out;
}

} // namespace quillmere::testing
