// The window's scan flow: launch, choosing a volume, scanning, drilling and access reprobes.
#include "app/ContentView.hpp"
#include "app/VolumePickerView.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "platform/HostSystem.hpp"
#include "views/InspectorModel.hpp"

#include <QScopedValueRollback>
#include <algorithm>

namespace quillmere {

// The scan screen is made only once the scan is asked for, so it starts the walk as it is
// shown: showing a screen under the pointer waits on the display server, and the walk need
// not wait with it.
void ContentView::startScan(const ScannableVolume& volume) {
    selectedVolume_ = volume;
    {
        const QScopedValueRollback hold(holdsScreenUpdates_, true);
        selection_->setSelectedNode(std::nullopt);
        history_->clear();
    }
    scanState_->requestScan();
    updateScreens();
}

void ContentView::rescan() {
    if (selectedVolume_) startScan(*selectedVolume_);
}

void ContentView::chooseAnotherDisk() {
    if (scanState_->isScanning()) scanState_->cancellation()->cancel();
    selection_->setSelectedNode(std::nullopt);
    history_->clear();
    scanState_->discardScan();
    selectedVolume_.reset();
    updateScreens();
}

void ContentView::openNode(const FileNode& node) {
    const auto chain = history_->currentPath();
    if (chain.empty()) return;
    auto extension = views::inspector::drillExtension(chain.back(), node);
    if (!extension) return;
    navigate([this, chain, extension = std::move(*extension)]() mutable {
        auto longer = chain;
        longer.insert(longer.end(), extension.begin(), extension.end());
        history_->visit(std::move(longer));
    });
}

// Every navigation step clears the selection first, so the inspector closes.
void ContentView::navigate(const std::function<void()>& step) {
    selection_->setSelectedNode(std::nullopt);
    step();
}

void ContentView::runLaunchTask() {
    scanState_->loadSavedSnapshot([this] {
        listVolumes([this] {
            runLaunchLogic();
            emit launchTaskFinished();
        });
    });
}

void ContentView::runLaunchLogic() {
    const auto& snapshot = scanState_->savedSnapshot();
    const auto volumeOfSnapshot = [&]() -> std::optional<ScannableVolume> {
        for (const ScannableVolume& volume : pickerVolumes())
            if (volume.uuid && snapshot && *volume.uuid == snapshot->volumeUUID) return volume;
        return std::nullopt;
    };
    // Development runs go straight to the saved scan's volume; a normal launch shows the picker.
    if (!selectedVolume_ && options_.hasDevelopmentSwitch() && snapshot) selectedVolume_ = volumeOfSnapshot();
    if (settings_.scansOnLaunch() && !hasCheckedLaunchScan_ && !selectedVolume_ && snapshot) {
        if (const auto volume = volumeOfSnapshot()) {
            hasCheckedLaunchScan_ = true;
            startScan(*volume);
        }
    }
    // A development run asked for a scan and no saved scan chose its volume (a first launch):
    // the startup disk is scanned, as the saved scan's volume would have been.
    if (options_.has("--debug-start-scan") && !hasCheckedLaunchScan_ && !selectedVolume_) {
        hasCheckedLaunchScan_ = true;
        const std::vector<ScannableVolume> volumes = pickerVolumes();
        const auto startup = std::ranges::find_if(volumes, &ScannableVolume::isStartupVolume);
        startScan(startup != volumes.end() ? *startup : volumes.front());
        return;
    }
    updateScreens();
}

// The capacity read may wait on the volume's file system, so the audit is made off the main
// thread; until it comes in, the one shown before stays (none after a new scan).
void ContentView::recomputeAccessAudit() {
    const uint64_t generation = ++auditGeneration_;
    const std::optional<DiskScanResult>& finished = scanState_->finishedScan();
    if (!finished) {
        accessAudit_.reset();
        return;
    }
    const std::string volumePath = selectedVolume_ ? selectedVolume_->url : std::string("/");
    background_.run<AccessAudit>(
        this,
        [scan = *finished, auditor = AccessAuditor(volumePath, platform::homeDirectory())] {
            return assembleAccessAudit(scan, auditor);
        },
        [this, generation](AccessAudit audit) {
            if (generation != auditGeneration_) return;
            accessAudit_ = std::move(audit);
            updateScreens();
        });
}

void ContentView::reprobeAccess() {
    isFullDiskAccessGranted_ = host_.hasFullDiskAccess();
    gate_->setFullDiskAccessGranted(isFullDiskAccessGranted_);
    if (privilegedScan_) privilegedScan_->reread();
    recomputeAccessAudit();
    listVolumes({});
    updateScreens();
}

void ContentView::startScanFromSystemData() {
    setSection(AppSection::macintoshHD);
    if (selectedVolume_) startScan(*selectedVolume_);
}

} // namespace quillmere
