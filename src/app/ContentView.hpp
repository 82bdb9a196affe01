#pragma once

#include "app/LaunchOptions.hpp"
#include "app/state/Modes.hpp"
#include "app/state/SnapshotIO.hpp"
#include "scan/ScannableVolume.hpp"

#include <QWidget>

class QVariantAnimation;
#include <functional>
#include <optional>
#include <vector>

namespace quillmere {

class AppSettings;
class BottomPathBar;
class CenterView;
class MainTopBar;
class VolumePickerView;
class NavigationHistory;
class PlaceholderView;
class ReadingSystemDataView;
class ScanState;
class SystemDataAwaitingScanView;
class SelectionState;

// The main window's content: owns the window's state for its whole life, chooses the screen
// (permission gate, volume picker or the chosen section) and wires every action to the state.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // What the window reads from the host; tests replace it.
    struct Host {
        std::function<std::vector<ScannableVolume>()> listVolumes;
        SnapshotIO snapshotIO;
        std::function<bool()> hasFullDiskAccess;
        static Host system();
    };

    ContentView(const LaunchOptions& options, AppSettings& settings, Host host = Host::system(),
                QWidget* parent = nullptr);
    ~ContentView() override;

    NavigationHistory& history() { return *history_; }
    ScanState& scanState() { return *scanState_; }
    SelectionState& selection() { return *selection_; }
    AppSection section() const { return section_; }
    const std::optional<ScannableVolume>& selectedVolume() const { return selectedVolume_; }

    // The volumes the picker offers: the listed ones, or the startup volume when none is listed.
    std::vector<ScannableVolume> pickerVolumes() const;
    bool sectionsReachable() const;

    void startScan(const ScannableVolume& volume);
    void rescan();
    void chooseAnotherDisk();
    void toggleInspector();
    void setSection(AppSection section);
    // Loads the saved scan, then decides whether a volume is chosen or a scan starts.
    void runLaunchTask();
    void reprobeAccess();

signals:
    void launchTaskFinished();
    void openSettingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void runLaunchLogic();
    void updateScreens();
    void layoutLayers();
    void navigate(const std::function<void()>& step);
    void updateSystemDataLayers();
    void presentInspector(bool presented);
    void settleInspector();
    void startScanFromSystemData();
    void focusFirstTile();

public:
    CenterView* centerView() const { return centerView_; }
    QWidget* topBar() const;
    QWidget* pathBar() const;
    QWidget* inspector() const;
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
    std::vector<ScannableVolume> volumes_;
    std::optional<ScannableVolume> selectedVolume_;

    MainTopBar* topBar_;
    QWidget* contentArea_;
    BottomPathBar* pathBar_;
    CenterView* centerView_ = nullptr;
    PlaceholderView* gate_;
    VolumePickerView* picker_ = nullptr;
    SystemDataAwaitingScanView* systemDataAwaiting_;
    ReadingSystemDataView* systemDataReading_;
    PlaceholderView* applications_;
    PlaceholderView* inspector_;
    // How far the details panel is in: 0 out of sight, 1 in place; it slides and fades between.
    double inspectorShown_ = 0;
    QVariantAnimation* inspectorMotion_;
};

} // namespace quillmere
