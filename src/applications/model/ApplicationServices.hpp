#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "scan/ScanRecords.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillmere {

// What the Applications section needs of discovery, leftover attribution and the orphan finder.
// The state object calls every blocking member from its own worker threads, never from the main
// thread, and several of them at once; implementations must be safe for that and must not
// wait on work queued behind those calls. None of them reports a failure: what cannot be read
// yields fewer applications, candidates or entries.
class ApplicationServices {
public:
    virtual ~ApplicationServices() = default;

    // The folders searched for application bundles, in search order.
    virtual std::vector<std::string> applicationFolders(const std::string& home) const = 0;
    // The computer-wide Library whose folders attribution and the orphan search read.
    virtual std::string library() const = 0;

    // Returns at once and reads the bundles of `folders` on threads of its own. `onApp` gets
    // each application as soon as its bundle has been read, possibly from several threads at
    // once; `onFinished` is called exactly once, after every `onApp` call has returned. Once
    // `cancellation` is raised the work stops early and still ends with `onFinished`.
    virtual void discover(std::vector<std::string> folders, std::function<void(InstalledApp)> onApp,
                          std::function<void()> onFinished,
                          std::shared_ptr<ScanCancellation> cancellation) = 0;

    // Blocking: the record of the bundle at `bundlePath`, with fallbacks for what it lacks.
    virtual InstalledApp read(const std::string& bundlePath) = 0;

    // Blocking: the candidate leftovers of `app`, nested ones removed, never the bundle itself.
    virtual std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                                      const std::string& library) = 0;
    // Blocking: one sized item per candidate.
    virtual std::vector<LeftoverItem> size(std::vector<LeftoverCandidate> candidates) = 0;
    // `items` in the same order, with `sharedWithAppName` set where another of `installedApps`
    // also claims the path.
    virtual std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                                 const std::vector<InstalledApp>& installedApps,
                                                 const std::string& home, const std::string& library) = 0;

    // Blocking: the Library entries claimed by none of `installedApps`, grouped, in final order.
    virtual std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                                        const std::vector<InstalledApp>& installedApps) = 0;
};

} // namespace quillmere
