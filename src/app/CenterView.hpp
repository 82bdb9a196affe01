#pragma once

#include "app/LaunchOptions.hpp"
#include "app/ScanRunner.hpp"
#include "scan/ScannableVolume.hpp"
#include "views/SunburstLayout.hpp"

#include <QWidget>
#include <optional>

class QStackedLayout;

namespace quillmere {

class AppSettings;
class DiskViewSlot;
class NavigationHistory;
class PlaceholderView;
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
    CenterView(ScannableVolume volume, NavigationHistory& history, ScanState& scanState,
               SelectionState& selection, AppSettings& settings, const LaunchOptions& options,
               QWidget* parent = nullptr);

    const ScannableVolume& volume() const { return volume_; }
    void setDetailsPanelInset(double inset);

    // The navigation actions the disk views are given.
    void openFolder(const std::vector<FileNode>& chain);
    void goUp();
    void selectNode(const FileNode& node);
    void stopScan();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applySavedSnapshotOnce();
    void applyDebugSwitches();
    void runScan();
    void refresh();
    void presentDiskView(const std::vector<FileNode>& path);
    const views::SunburstLayout& sunburstLayout(const std::vector<FileNode>& path);

    ScannableVolume volume_;
    NavigationHistory& history_;
    ScanState& scanState_;
    SelectionState& selection_;
    AppSettings& settings_;
    const LaunchOptions& options_;
    bool hasAppliedSavedSnapshot_ = false;
    int64_t lastRunToken_ = 0;
    double detailsPanelInset_ = 0;

    ScanRunner runner_;
    std::optional<ProgressThrottle> throttle_;
    std::optional<std::string> saveVolumeUUID_;

    QStackedLayout* pages_;
    ScanningIllustrationView* scanning_;
    ReadyToScanView* ready_;
    DiskViewSlot* diskView_;
    // The sunburst's layout and what it was built from: rebuilt only when these change.
    struct LayoutKey {
        FileNode folder;
        bool isTop = true;
        bool isScanning = false;
    };
    std::optional<LayoutKey> layoutKey_;
    views::SunburstLayout layout_;
};

} // namespace quillmere
