#include "applications/state/ApplicationsState.hpp"

#include "applications/model/DiskApplicationServices.hpp"
#include "applications/model/LeftoverAttribution.hpp"
#include "base/PathText.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <functional>

namespace quillmere {

namespace {

// Attribution and orphan calls block for as long as their file-system walks take, so they get a
// pool of their own: they cannot starve the shared pool, nor deadlock on services that use it.
// Every task is started from the main thread; queued tasks of a destroyed state return at once.
// The application object waits for the tasks still running at the very start of its teardown:
// by the time it deletes its children its event dispatcher is gone, and a task still inside a
// post, which wakes that dispatcher after queueing its call, would write to freed memory.
QThreadPool& workerPool() {
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setObjectName(ApplicationsState::kWorkerPoolName);
        // Mostly waiting on the disk: more tasks than cores keep it busy.
        pool->setMaxThreadCount(std::max(QThread::idealThreadCount() * 2, 8));
        qAddPostRoutine([] {
            if (pool) pool->waitForDone();
        });
    }
    return *pool;
}

// A service that breaks its promise not to fail must not leave a survey waiting forever.
std::optional<LeftoverAttribution> attributeSafely(ApplicationServices& services, const InstalledApp& app,
                                                   const std::vector<InstalledApp>& installedApps,
                                                   const std::string& home) {
    try {
        return LeftoverAttributor::attribute(services, app, installedApps, home);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

// What the worker threads share with the state. It outlives the state while they still run, so
// the workers never post to an object that may be gone: they post to a relay that is never
// destroyed, and whether the state still exists is asked on the state's thread. Destroying the
// relay instead would post from inside Qt's own teardown of undelivered events, which holds the
// lock that posting needs.
struct ApplicationsState::Work : std::enable_shared_from_this<Work> {
    Work(std::shared_ptr<ApplicationServices> services, std::string home, ApplicationsState* owner)
        : services(std::move(services)), home(std::move(home)), owner(owner), relay(threadRelay()) {}

    static QObject* threadRelay() {
        thread_local QObject* const relay = new QObject;
        return relay;
    }

    // Runs `deliver` on the state's thread, unless the state has gone by then.
    void post(std::function<void(ApplicationsState&)> deliver) {
        QMetaObject::invokeMethod(
            relay,
            [self = shared_from_this(), deliver = std::move(deliver)] {
                if (ApplicationsState* state = self->owner.data()) deliver(*state);
            },
            Qt::QueuedConnection);
    }

    const std::shared_ptr<ApplicationServices> services;
    const std::string home;
    const QPointer<ApplicationsState> owner;
    QObject* const relay;
    const std::shared_ptr<ScanCancellation> cancellation = std::make_shared<ScanCancellation>();
};

ApplicationsState::ApplicationsState(std::shared_ptr<ApplicationServices> services,
                                     std::vector<std::string> arguments, std::string homeDirectory,
                                     QObject* parent)
    : QObject(parent), arguments_(std::move(arguments)),
      work_(std::make_shared<Work>(std::move(services), std::move(homeDirectory), this)) {}

ApplicationsState::ApplicationsState(std::shared_ptr<ApplicationServices> services,
                                     std::vector<std::string> arguments, QObject* parent)
    : ApplicationsState(std::move(services), std::move(arguments), QDir::homePath().toStdString(), parent) {}

ApplicationsState::ApplicationsState(std::vector<std::string> arguments, QObject* parent)
    : ApplicationsState(std::make_shared<DiskApplicationServices>(ApplicationEnvironment::current()),
                        std::move(arguments), ApplicationRoots::current().home, parent) {}

ApplicationsState::~ApplicationsState() {
    work_->cancellation->cancel();
}

void ApplicationsState::setSearchText(std::string text) {
    if (searchText_ == text) return;
    searchText_ = std::move(text);
    emit searchTextChanged();
}

void ApplicationsState::setSelectedAppPath(std::optional<std::string> path) {
    if (selectedAppPath_ == path) return;
    selectedAppPath_ = std::move(path);
    emit selectedAppPathChanged();
}

void ApplicationsState::setSelectedOrphanGroupID(std::optional<std::string> id) {
    if (selectedOrphanGroupID_ == id) return;
    selectedOrphanGroupID_ = std::move(id);
    emit selectedOrphanGroupIDChanged();
}

void ApplicationsState::setDroppedApp(std::optional<InstalledApp> app) {
    // A drop still being read or attributed must not bring its application back afterwards.
    ++currentDrop_;
    droppedApp_ = std::move(app);
    emit droppedAppChanged();
}

void ApplicationsState::start() {
    if (hasStarted_) return;
    hasStarted_ = true;
    emit hasStartedChanged();

    // Nothing here is tied to the caller: the discovery is stopped only by this object's
    // destruction, so its end always means every bundle has been listed.
    const std::shared_ptr<Work> work = work_;
    work->services->discover(
        work->services->applicationFolders(work->home),
        [work](InstalledApp app) {
            work->post([app = std::move(app)](ApplicationsState& state) mutable {
                state.receiveApp(std::move(app));
            });
        },
        [work] { work->post([](ApplicationsState& state) { state.finishInventory(); }); },
        work->cancellation);
}

void ApplicationsState::receiveApp(InstalledApp app) {
    if (isInventoryComplete_) return;
    apps_.push_back(std::move(app));
    emit appsChanged();
}

void ApplicationsState::finishInventory() {
    if (isInventoryComplete_) return;
    isInventoryComplete_ = true;
    emit isInventoryCompleteChanged();

    const auto installedApps = std::make_shared<const std::vector<InstalledApp>>(apps_);
    std::vector<InstalledApp> removable;
    std::ranges::copy_if(*installedApps, std::back_inserter(removable),
                         [](const InstalledApp& app) { return !app.isProtected; });
    pendingAttributions_ = removable.size();

    const std::shared_ptr<Work> work = work_;
    QThreadPool& pool = workerPool();
    // Queued first, so that it runs beside the attributions rather than behind them.
    pool.start([work, installedApps] {
        if (work->cancellation->isCancelled()) return;
        std::vector<OrphanLeftoverGroup> groups;
        try {
            groups = work->services->findGroups(work->home, work->services->library(), *installedApps);
        } catch (...) {
        }
        work->post([groups = std::move(groups)](ApplicationsState& state) mutable {
            state.receiveOrphanGroups(std::move(groups));
        });
    });
    for (InstalledApp& app : removable)
        pool.start([work, installedApps, app = std::move(app)] {
            if (work->cancellation->isCancelled()) return;
            std::optional<LeftoverAttribution> attribution =
                attributeSafely(*work->services, app, *installedApps, work->home);
            work->post(
                [path = app.path, attribution = std::move(attribution)](ApplicationsState& state) mutable {
                    state.receiveAttribution(std::move(path), std::move(attribution));
                });
        });
    if (removable.empty()) finishAttribution();
}

void ApplicationsState::receiveAttribution(std::string path, std::optional<LeftoverAttribution> attribution) {
    if (attribution) {
        attributions_.insert_or_assign(std::move(path), std::move(*attribution));
        emit attributionsChanged();
    }
    if (pendingAttributions_ > 0 && --pendingAttributions_ == 0) finishAttribution();
}

void ApplicationsState::finishAttribution() {
    if (isAttributionComplete_) return;
    isAttributionComplete_ = true;
    emit isAttributionCompleteChanged();
    if (arrivedOrphanGroups_) publishOrphanGroups();
}

void ApplicationsState::receiveOrphanGroups(std::vector<OrphanLeftoverGroup> groups) {
    arrivedOrphanGroups_ = std::move(groups);
    // Published only after the last attribution, however early the search ended.
    if (isAttributionComplete_) publishOrphanGroups();
}

void ApplicationsState::publishOrphanGroups() {
    orphanGroups_ = std::move(*arrivedOrphanGroups_);
    arrivedOrphanGroups_.reset();
    emit orphanGroupsChanged();
    applyDevelopmentSelections();
}

void ApplicationsState::applyDevelopmentSelections() {
    if (hasArgument("--debug-select-first-app")) {
        const auto first = std::ranges::find_if(apps_, [this](const InstalledApp& app) {
            return !app.isProtected && attributions_.contains(app.path);
        });
        setSelectedAppPath(first == apps_.end() ? std::nullopt : std::optional(first->path));
    } else if (hasArgument("--debug-select-first-orphan")) {
        setSelectedOrphanGroupID(orphanGroups_.empty() ? std::nullopt
                                                       : std::optional(orphanGroups_.front().id()));
    }
}

bool ApplicationsState::hasArgument(const std::string& argument) const {
    return std::ranges::find(arguments_, argument) != arguments_.end();
}

void ApplicationsState::inspectDroppedApp(const std::string& bundlePath) {
    const bool clearsAppSelection = selectedAppPath_.has_value();
    const bool clearsOrphanSelection = selectedOrphanGroupID_.has_value();
    selectedAppPath_.reset();
    selectedOrphanGroupID_.reset();
    droppedAppAttribution_.reset();
    const uint64_t drop = ++currentDrop_;
    if (clearsAppSelection) emit selectedAppPathChanged();
    if (clearsOrphanSelection) emit selectedOrphanGroupIDChanged();
    emit droppedAppAttributionChanged();

    const std::shared_ptr<Work> work = work_;
    workerPool().start([work, bundlePath, drop] {
        if (work->cancellation->isCancelled()) return;
        std::optional<InstalledApp> app;
        try {
            app = work->services->read(bundlePath);
        } catch (...) {
            return;
        }
        work->post([drop, app = std::move(*app)](ApplicationsState& state) mutable {
            state.receiveDroppedApp(drop, std::move(app));
        });
    });
}

void ApplicationsState::receiveDroppedApp(uint64_t drop, InstalledApp app) {
    // A later drop has replaced this one.
    if (drop != currentDrop_) return;
    const bool isProtected = app.isProtected;
    droppedApp_ = app;
    emit droppedAppChanged();
    if (isProtected) return;

    const std::shared_ptr<Work> work = work_;
    workerPool().start([work, drop, app = std::move(app), installedApps = apps_] {
        if (work->cancellation->isCancelled()) return;
        std::optional<LeftoverAttribution> attribution =
            attributeSafely(*work->services, app, installedApps, work->home);
        if (!attribution) return;
        work->post([drop, attribution = std::move(*attribution)](ApplicationsState& state) mutable {
            state.receiveDroppedAttribution(drop, std::move(attribution));
        });
    });
}

void ApplicationsState::receiveDroppedAttribution(uint64_t drop, LeftoverAttribution attribution) {
    // Replaced by a later drop, or the application was removed or dismissed meanwhile.
    if (drop != currentDrop_ || !droppedApp_ || droppedApp_->path != attribution.app.path) return;
    droppedAppAttribution_ = std::move(attribution);
    emit droppedAppAttributionChanged();
}

void ApplicationsState::applyOrphanRemoval(const std::set<std::string>& removedPaths) {
    if (removedPaths.empty()) return;
    PathSet removed;
    for (const std::string& path : removedPaths)
        removed.insert(path);

    std::vector<OrphanLeftoverGroup> kept;
    for (OrphanLeftoverGroup& group : orphanGroups_) {
        std::erase_if(group.entries, [&](const OrphanEntry& entry) { return removed.contains(entry.path); });
        if (!group.entries.empty()) kept.push_back(std::move(group));
    }
    orphanGroups_ = std::move(kept);
    const bool clearsSelection = selectedOrphanGroupID_.has_value();
    selectedOrphanGroupID_.reset();

    emit orphanGroupsChanged();
    if (clearsSelection) emit selectedOrphanGroupIDChanged();
}

void ApplicationsState::applyAppRemoval(const std::string& appPath) {
    const auto matches = [&](const std::string& path) { return pathsEqual(path, appPath); };
    std::erase_if(apps_, [&](const InstalledApp& app) { return matches(app.path); });
    std::erase_if(attributions_, [&](const auto& entry) { return matches(entry.first); });
    const bool clearsSelection = selectedAppPath_ && matches(*selectedAppPath_);
    if (clearsSelection) selectedAppPath_.reset();
    const bool clearsDroppedApp = droppedApp_ && matches(droppedApp_->path);
    if (clearsDroppedApp) {
        droppedApp_.reset();
        droppedAppAttribution_.reset();
    }

    emit appsChanged();
    emit attributionsChanged();
    if (clearsSelection) emit selectedAppPathChanged();
    if (clearsDroppedApp) {
        emit droppedAppChanged();
        emit droppedAppAttributionChanged();
    }
}

void ApplicationsState::applyItemRemoval(const std::string& appPath,
                                         const std::set<std::string>& removedPaths) {
    if (removedPaths.empty()) return;
    PathSet removed;
    for (const std::string& path : removedPaths)
        removed.insert(path);
    const auto prune = [&](LeftoverAttribution& attribution) {
        return std::erase_if(attribution.items, [&](const LeftoverItem& item) {
                   return item.group != LeftoverItem::Group::application && removed.contains(item.path);
               }) > 0;
    };
    bool changedList = false;
    for (auto& [path, attribution] : attributions_)
        if (pathsEqual(path, appPath)) changedList = prune(attribution) || changedList;
    const bool changedDropped = droppedApp_ && droppedAppAttribution_ &&
                                pathsEqual(droppedApp_->path, appPath) && prune(*droppedAppAttribution_);
    if (changedList) emit attributionsChanged();
    if (changedDropped) emit droppedAppAttributionChanged();
}

void ApplicationsState::attributeApart(const InstalledApp& app, QObject* receiver,
                                       std::function<void(LeftoverAttribution)> onDone) {
    const std::shared_ptr<Work> work = work_;
    QPointer<QObject> target(receiver);
    workerPool().start([work, app, installedApps = apps_, target, onDone = std::move(onDone)] {
        if (work->cancellation->isCancelled()) return;
        std::optional<LeftoverAttribution> attribution =
            attributeSafely(*work->services, app, installedApps, work->home);
        if (!attribution) return;
        work->post([target, onDone, attribution = std::move(*attribution)](ApplicationsState&) {
            if (target) onDone(attribution);
        });
    });
}

} // namespace quillmere
