#pragma once

#include "access/AccessAudit.hpp"
#include "access/HelperServiceManager.hpp"
#include "app/BackgroundCall.hpp"
#include "app/LaunchOptions.hpp"
#include "app/access/FullDiskAccessLink.hpp"
#include "app/access/SavedScanSummary.hpp"
#include "app/state/Modes.hpp"
#include "app/state/SnapshotIO.hpp"
#include "platform/ScanHost.hpp"
#include "scan/ScanRecords.hpp"
#include "scan/ScannableVolume.hpp"
#include "systemdata/Reclaimer.hpp"
#include "systemdata/SystemDataReport.hpp"

#include <QPointer>
#include <QUuid>
#include <QWidget>

class QVariantAnimation;
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillmere {

namespace platform {
class DesktopSettings;
}

class AppSettings;
class ApplicationsState;
class ApplicationsView;
class ReclaimPresenter;
class BottomPathBar;
class CenterView;
class RestrictedFlags;
class MainTopBar;
class VolumePickerView;
class NavigationHistory;
class PermissionGateView;
class PrivilegedScanController;
class ProtectedLocations;
class InspectorView;
class PlaceholderView;
class PreviewWindow;
class FileNode;
class ReadingSystemDataView;
class ScanState;
class SystemDataAwaitingScanView;
class SelectionState;
class SystemDataRefresher;
class SystemDataView;

// A System Data reclaim the user asked for; the confirmation sheet is presented for it.
struct SystemDataReclaimRequest {
    QUuid id;
    std::vector<SystemDataCategory> categories;
};

// The main window's content: owns the window's state for its whole life, chooses the screen
// (permission gate, volume picker or the chosen section) and wires every action to the state.
class DeleteConfirmationSheet;

class ContentView : public QWidget {
    Q_OBJECT
public:
    // What the window reads from the host; tests replace it.
    struct Host {
        // Lists the volumes; may wait on their file systems, so it runs off the main thread.
        std::function<std::vector<ScannableVolume>()> listVolumes;
        SnapshotIO snapshotIO;
        std::function<bool()> hasFullDiskAccess;
        // Probes the startup volume after a finished scan; blocks, so it runs off the main thread.
        std::function<SystemDataReport(const DiskScanResult&)> probeSystemData;
        // Carries out a confirmed removal; built on the main thread, run off it.
        std::function<Reclaimer()> makeReclaimer = [] { return Reclaimer(ReclaimerServices::current()); };
        // Opens an address with the desktop (Full Disk Access links).
        UrlOpener openUrl;
        // The saved scan as the Settings window finds and forgets it.
        SavedScanLocator savedScan;
        // The privileged helper: its service manager (none: the helper is not offered), its
        // socket and the user it must run as.
        std::shared_ptr<HelperServiceManager> helperService;
        std::string helperSocket;
        uid_t helperUser = 0;
        // What the scans read the disk through; it outlives the window (tests deny folders here).
        platform::ScanHost* scanHost = &platform::ScanHost::system();
        // The desktop's preferences the window follows (it outlives the window); none: the session's.
        platform::DesktopSettings* desktopSettings = nullptr;
        static Host system();
    };

    const Host& host() const { return host_; }
    PermissionGateView* gate() const { return gate_; }
    bool isFullDiskAccessGranted() const { return isFullDiskAccessGranted_; }
    PrivilegedScanController* privilegedScan() const { return privilegedScan_; }
    // The audit of the finished scan, for the volume it scanned; none before a scan finishes and
    // until the volume's capacity has been read, off the main thread.
    const std::optional<AccessAudit>& accessAudit() const { return accessAudit_; }

    ContentView(const LaunchOptions& options, AppSettings& settings, Host host = Host::system(),
                QWidget* parent = nullptr);
    ~ContentView() override;

    NavigationHistory& history() { return *history_; }
    ApplicationsState& applicationsState() { return *applicationsState_; }
    ApplicationsView& applicationsView() { return *applications_; }
    ScanState& scanState() { return *scanState_; }
    SelectionState& selection() { return *selection_; }
    AppSection section() const { return section_; }
    const std::optional<ScannableVolume>& selectedVolume() const { return selectedVolume_; }

    // The volumes the picker offers: the listed ones, or the startup volume when none is listed;
    // none until the first listing, made off the main thread, has come in.
    std::vector<ScannableVolume> pickerVolumes() const;
    bool sectionsReachable() const;

    void startScan(const ScannableVolume& volume);
    void rescan();
    void chooseAnotherDisk();
    void toggleInspector();
    // Drills from the folder shown down to `node` (a folder below it); nothing otherwise.
    void openNode(const FileNode& node);
    bool isDeleteConfirmationPresented() const { return isDeleteConfirmationPresented_; }
    QWidget* deleteSheet() const;
    QWidget* systemDataReclaimSheet() const;
    // Completion of the delete sheet: the selection goes, and a rebuilt tree replaces the
    // scanned one in every visit; the saved snapshot and the System Data report stay.
    void applyDeletion(const std::optional<FileNode>& newRoot, const Reclaimer::Outcome& outcome);
    // Whether a confirmed removal is still running; the window stays open until it ends.
    bool isReclaimRunning() const;
    void setSection(AppSection section);
    // Loads the saved scan, then decides whether a volume is chosen or a scan starts.
    void runLaunchTask();
    // Reads Full Disk Access, the helper's status and the volumes again (on activation); the
    // volumes and the audit arrive later.
    void reprobeAccess();

    const std::optional<SystemDataReport>& systemDataReport() const { return systemDataReport_; }
    int64_t systemDataReprobeToken() const { return systemDataReprobeToken_; }
    const std::optional<SystemDataReclaimRequest>& systemDataReclaimRequest() const {
        return systemDataReclaimRequest_;
    }
    // Stores the request, which presents the reclaim sheet for these categories.
    void requestSystemDataReclaim(const std::vector<SystemDataCategory>& categories);
    // The reclaim sheet is done: the request goes and the probe runs again.
    void finishSystemDataReclaim();
    // Dismissed without reclaiming.
    void dismissSystemDataReclaim();

signals:
    void systemDataReclaimRequested();
    void launchTaskFinished();
    void openSettingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void runLaunchLogic();
    // Lists the volumes off the main thread; `then` runs on the main thread once they are in.
    void listVolumes(std::function<void()> then);
    void updateScreens();
    void layoutLayers();
    void navigate(const std::function<void()>& step);
    void updateSystemDataLayers();
    void presentInspector(bool presented);
    void settleInspector();
    void startScanFromSystemData();
    void focusFirstTile();
    void refreshSystemData();
    void recomputeAccessAudit();
    void presentDeleteConfirmation();
    void presentSystemDataReclaim();
    void removeFromTree(const std::set<std::string>& canonicalPaths);
    std::optional<FileNode> currentRoot() const;
    PreviewWindow* previewWindow();

public:
    CenterView* centerView() const { return centerView_; }
    QWidget* topBar() const;
    QWidget* pathBar() const;
    InspectorView* inspector() const;
    VolumePickerView* picker() const { return picker_; }
    SystemDataAwaitingScanView* systemDataAwaiting() const { return systemDataAwaiting_; }
    ReadingSystemDataView* systemDataReading() const { return systemDataReading_; }
    bool isInspectorPresented() const { return isInspectorPresented_; }

private:
    const LaunchOptions& options_;
    AppSettings& settings_;
    Host host_;
    NavigationHistory* history_;
    ScanState* scanState_;
    SelectionState* selection_;
    AppSection section_;
    bool isInspectorPresented_ = false;
    bool isFullDiskAccessGranted_ = false;
    bool hasCheckedLaunchScan_ = false;
    // While set, state changes wait for one update of the screens at the end of the step.
    bool holdsScreenUpdates_ = false;
    std::vector<ScannableVolume> volumes_;
    // What the picker offers when no volume is listed; set with each listing that found none.
    std::optional<ScannableVolume> startupFallback_;
    uint64_t volumeListings_ = 0; // listings asked for
    uint64_t appliedListing_ = 0; // the newest listing applied
    uint64_t auditGeneration_ = 0;
    std::optional<ScannableVolume> selectedVolume_;
    // What is marked with a lock and never offered for removal; read once for every view, with
    // items' restricted flags read in the background (removals test them again themselves).
    std::shared_ptr<const ProtectedLocations> protection_;
    RestrictedFlags* restrictedFlags_ = nullptr;

    MainTopBar* topBar_;
    QWidget* contentArea_;
    BottomPathBar* pathBar_;
    CenterView* centerView_ = nullptr;
    PermissionGateView* gate_;
    PrivilegedScanController* privilegedScan_ = nullptr;
    std::optional<AccessAudit> accessAudit_;
    VolumePickerView* picker_ = nullptr;
    SystemDataAwaitingScanView* systemDataAwaiting_;
    ReadingSystemDataView* systemDataReading_;
    SystemDataView* systemDataView_ = nullptr;
    SystemDataRefresher* systemDataRefresher_ = nullptr;
    std::optional<SystemDataReport> systemDataReport_;
    int64_t systemDataReprobeToken_ = 0;
    std::optional<SystemDataReclaimRequest> systemDataReclaimRequest_;
    ApplicationsState* applicationsState_;
    std::unique_ptr<ReclaimPresenter> reclaimPresenter_;
    ApplicationsView* applications_;
    InspectorView* inspector_;
    PreviewWindow* previewWindow_ = nullptr;
    bool isDeleteConfirmationPresented_ = false;
    QPointer<DeleteConfirmationSheet> deleteSheet_;
    QPointer<DeleteConfirmationSheet> systemDataSheet_;
    // How far the details panel is in: 0 out of sight, 1 in place; it slides and fades between.
    double inspectorShown_ = 0;
    QVariantAnimation* inspectorMotion_;
    // Calls made off the main thread on the window's behalf.
    BackgroundCalls background_;
};

} // namespace quillmere
