#pragma once

#include "access/AccessAudit.hpp"
#include "app/LaunchOptions.hpp"
#include "app/ScanRunner.hpp"
#include "app/access/FullDiskAccessLink.hpp"
#include "app/state/Modes.hpp"
#include "scan/ScannableVolume.hpp"
#include "views/SunburstLayout.hpp"
#include "views/widgets/InsightScreenFrame.hpp"

#include <QWidget>
#include <memory>
#include <optional>

class QHBoxLayout;
class QStackedLayout;
class QVariantAnimation;

namespace quillmere {

class AppSettings;
class DiskViewSlot;
class FullDiskAccessBanner;
class PrivilegedScanController;
class NavigationHistory;
class ProtectedLocations;
class ReadyToScanView;
class ScanState;
class ScanningIllustrationView;
class SelectionState;

// The scan screen of a chosen volume: runs its scans (one per scan request), shows the
// saved scan of the volume once, and shows the scanning screen, the start screen or the
// disk view of the folder being visited.
class CenterView : public QWidget {
    Q_OBJECT
public:
    // The scans read the disk through `scanHost`, which must outlive every scan this screen
    // starts. `protection` tells what the list and the insight rows mark with a lock; without
    // one it is read when first needed.
    CenterView(ScannableVolume volume, NavigationHistory& history, ScanState& scanState,
               SelectionState& selection, AppSettings& settings, const LaunchOptions& options,
               std::shared_ptr<const ProtectedLocations> protection = nullptr,
               platform::ScanHost& scanHost = platform::ScanHost::system(), QWidget* parent = nullptr);

    const ScannableVolume& volume() const { return volume_; }
    // The room kept free on the trailing side for the details panel. Every view but the rings
    // is padded by it (the change eases over 0.32 s); the rings are handed it and place
    // themselves.
    void setDetailsPanelInset(double inset);
    double detailsPanelInset() const { return detailsPanelInset_; }
    // The page shown now (scanning screen, start screen or disk view).
    QWidget* currentPage() const;
    // The disk view on screen, if any.
    QWidget* diskView() const;

    // The navigation actions the disk views are given.
    void openFolder(const std::vector<FileNode>& chain);
    void goUp();
    void selectNode(const FileNode& node);
    void stopScan();

    // The helper whose walks are merged into each finished scan while it is on; none: no pass.
    void setPrivilegedScan(PrivilegedScanController* controller, std::string homeDirectory);
    // The audit of the finished scan and the window's own access flag: they decide the banner.
    void setAccessAudit(const std::optional<AccessAudit>& audit, bool hostHasFullDiskAccess,
                        UrlOpener opener);
    FullDiskAccessBanner* banner() const { return banner_; }
    // Has the list or insight rows shown ask again which items are protected.
    void refreshProtection();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applySavedSnapshotOnce();
    void applyDebugSwitches();
    void runScan();
    void refresh();
    void presentDiskView(const std::vector<FileNode>& path);
    std::shared_ptr<const ProtectedLocations> protection();
    // The largest items, kinds and untouched screens.
    void presentInsightScreen(DiskViewMode mode, const QString& identity, InsightInputs inputs);
    // While no scan has finished since the start, the tree on screen is the saved snapshot.
    bool isFromSavedScan() const;
    void updateTrailingPadding();
    void setTrailingPadding(double padding);

    ScannableVolume volume_;
    NavigationHistory& history_;
    ScanState& scanState_;
    SelectionState& selection_;
    AppSettings& settings_;
    const LaunchOptions& options_;
    bool hasAppliedSavedSnapshot_ = false;
    int64_t lastRunToken_ = 0;
    double detailsPanelInset_ = 0;

    void finishRun(const DiskScanResult& result);
    void placeBanner();

    PrivilegedScanController* privilegedScan_ = nullptr;
    std::string homeDirectory_;
    FullDiskAccessBanner* banner_ = nullptr;

    ScanRunner runner_;
    std::optional<ProgressThrottle> throttle_;
    std::optional<std::string> saveVolumeUUID_;

    QHBoxLayout* frame_;
    QWidget* pageHost_;
    QStackedLayout* pages_;
    QVariantAnimation* paddingAnimation_;
    double trailingPadding_ = 0;
    ScanningIllustrationView* scanning_;
    ReadyToScanView* ready_;
    DiskViewSlot* diskView_;
    // What the list and the insight rows mark with a lock; read once, when first needed.
    std::shared_ptr<const ProtectedLocations> protection_;
    uint64_t presentedNavigationSteps_; // the history's steps when a disk view was last shown
};

} // namespace quillmere
