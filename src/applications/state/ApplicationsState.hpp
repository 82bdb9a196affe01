#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ApplicationServices.hpp"

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillmere {

// The model behind the Applications section: the installed applications, each one's leftovers,
// the orphaned leftovers, an inspected dropped bundle, and the list's selection and search text.
//
// Notifications: `isInventoryComplete`, `isAttributionComplete`, `hasStarted`, `searchText`,
// `selectedAppPath` and `selectedOrphanGroupID` notify only when the value changes; `apps`,
// `attributions`, `orphanGroups`, `droppedApp` and `droppedAppAttribution` notify on every write.
// Every write happens on this object's thread (the main thread); an operation writes all its
// fields before it emits anything.
class ApplicationsState : public QObject {
    Q_OBJECT
public:
    // `arguments` are the process's launch arguments, for the development selections.
    ApplicationsState(std::shared_ptr<ApplicationServices> services, std::vector<std::string> arguments,
                      std::string homeDirectory, QObject* parent = nullptr);
    // The current user's home folder.
    ApplicationsState(std::shared_ptr<ApplicationServices> services, std::vector<std::string> arguments,
                      QObject* parent = nullptr);
    // The section on this computer's disk, with the application roots of the running process.
    explicit ApplicationsState(std::vector<std::string> arguments, QObject* parent = nullptr);
    // Cuts short whatever still runs; nothing more is published.
    ~ApplicationsState() override;

    // The name of the pool, a child of the application object, where every state's file-system
    // work runs; whoever must know that work has come to rest looks it up by this name.
    static constexpr const char* kWorkerPoolName = "quillmere-applications-workers";

    // In the order the inventory delivered them.
    const std::vector<InstalledApp>& apps() const { return apps_; }
    // Keyed by the application's `path` as the inventory gave it.
    const std::map<std::string, LeftoverAttribution>& attributions() const { return attributions_; }
    bool isInventoryComplete() const { return isInventoryComplete_; }
    bool isAttributionComplete() const { return isAttributionComplete_; }
    // In the order the orphan search returned them.
    const std::vector<OrphanLeftoverGroup>& orphanGroups() const { return orphanGroups_; }
    const std::optional<std::string>& selectedAppPath() const { return selectedAppPath_; }
    const std::optional<std::string>& selectedOrphanGroupID() const { return selectedOrphanGroupID_; }
    const std::string& searchText() const { return searchText_; }
    const std::optional<InstalledApp>& droppedApp() const { return droppedApp_; }
    const std::optional<LeftoverAttribution>& droppedAppAttribution() const { return droppedAppAttribution_; }
    bool hasStarted() const { return hasStarted_; }

    void setSearchText(std::string text);
    void setSelectedAppPath(std::optional<std::string> path);
    void setSelectedOrphanGroupID(std::optional<std::string> id);
    // The screen dismisses the dropped application; a drop still being inspected is abandoned.
    void setDroppedApp(std::optional<InstalledApp> app);

    // The survey, once for the life of this object; later calls do nothing. Returns at once;
    // results are published as they arrive: each application, then each attribution (protected
    // applications get none), then the orphan groups after the last attribution.
    //
    // The survey belongs to this object, not to the screen that asked for it: leaving the
    // section does not stop it, so the inventory is only ever marked complete when discovery
    // has really listed every bundle. Only destroying this object cuts it short.
    void start();
    // Reads and attributes the bundle at `bundlePath` apart from the list. A later drop
    // supersedes an earlier one still being inspected.
    void inspectDroppedApp(const std::string& bundlePath);
    // After a deletion from an orphan group: the entries at `removedPaths` leave their groups,
    // emptied groups go, and the group selection is cleared. An empty set changes nothing.
    void applyOrphanRemoval(const std::set<std::string>& removedPaths);
    // After an uninstall that removed the bundle at `appPath`: the application leaves the list,
    // its attribution, the selection and the dropped application. Nothing is recomputed.
    void applyAppRemoval(const std::string& appPath);
    // After a reclaim that removed some of an application's items but not its bundle (a cache
    // clearing): those items leave the application's stored attribution, and the dropped
    // application's when it is that application, so nothing still lists vanished files.
    void applyItemRemoval(const std::string& appPath, const std::set<std::string>& removedPaths);
    // Attributes `app` apart from the survey (for a panel that keeps the result to itself) and
    // hands the result to `onDone` on this object's thread, unless `receiver` has gone by then.
    void attributeApart(const InstalledApp& app, QObject* receiver,
                        std::function<void(LeftoverAttribution)> onDone);

signals:
    void appsChanged();
    void attributionsChanged();
    void isInventoryCompleteChanged();
    void isAttributionCompleteChanged();
    void orphanGroupsChanged();
    void selectedAppPathChanged();
    void selectedOrphanGroupIDChanged();
    void searchTextChanged();
    void droppedAppChanged();
    void droppedAppAttributionChanged();
    void hasStartedChanged();

private:
    struct Work;

    void receiveApp(InstalledApp app);
    void finishInventory();
    void receiveAttribution(std::string path, std::optional<LeftoverAttribution> attribution);
    void finishAttribution();
    void receiveOrphanGroups(std::vector<OrphanLeftoverGroup> groups);
    void publishOrphanGroups();
    void applyDevelopmentSelections();
    void receiveDroppedApp(uint64_t drop, InstalledApp app);
    void receiveDroppedAttribution(uint64_t drop, LeftoverAttribution attribution);
    bool hasArgument(const std::string& argument) const;

    std::vector<InstalledApp> apps_;
    std::map<std::string, LeftoverAttribution> attributions_;
    bool isInventoryComplete_ = false;
    bool isAttributionComplete_ = false;
    std::vector<OrphanLeftoverGroup> orphanGroups_;
    std::optional<std::string> selectedAppPath_;
    std::optional<std::string> selectedOrphanGroupID_;
    std::string searchText_;
    std::optional<InstalledApp> droppedApp_;
    std::optional<LeftoverAttribution> droppedAppAttribution_;
    bool hasStarted_ = false;

    std::vector<std::string> arguments_;
    std::shared_ptr<Work> work_;
    size_t pendingAttributions_ = 0;
    std::optional<std::vector<OrphanLeftoverGroup>> arrivedOrphanGroups_;
    uint64_t currentDrop_ = 0;
};

} // namespace quillmere
