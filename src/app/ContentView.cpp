#include "app/ContentView.hpp"

#include "access/AccessAuditor.hpp"
#include "app/BottomPathBar.hpp"
#include "app/CenterView.hpp"
#include "app/MainTopBar.hpp"
#include "app/Motion.hpp"
#include "app/Placeholders.hpp"
#include "app/ScanScreenText.hpp"
#include "app/ScanScreens.hpp"
#include "app/VolumePickerView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "app/ui/Theme.hpp"
#include "platform/HostSystem.hpp"
#include "scan/Format.hpp"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {
namespace {

constexpr int kInspectorWidth = 302;
constexpr int kInspectorInset = 334;

// Screens that take the content area's place fade in, as every change of screen does.
void fadeIn(QWidget* widget) {
    const int duration = motionDuration(250);
    if (duration == 0) return;
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(0);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", widget);
    animation->setDuration(duration);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    // The effect goes once the fade is done, so the screen draws directly again.
    QObject::connect(animation, &QPropertyAnimation::finished, widget,
                     [widget] { widget->setGraphicsEffect(nullptr); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

ContentView::Host ContentView::Host::system() {
    return Host{[] { return ScannableVolume::mountedVolumes(); }, SnapshotIO::standard(),
                [] { return AccessAuditor("/", platform::homeDirectory()).isFullDiskAccessGranted(); }};
}

ContentView::ContentView(const LaunchOptions& options, AppSettings& settings, Host host, QWidget* parent)
    : QWidget(parent), options_(options), settings_(settings), host_(std::move(host)),
      history_(new NavigationHistory(this)), scanState_(new ScanState(std::nullopt, host_.snapshotIO, this)),
      selection_(new SelectionState(this)), section_(AppSection::macintoshHD), topBar_(new MainTopBar(this)),
      contentArea_(new QWidget(this)), pathBar_(new BottomPathBar(*history_, this)),
      gate_(new PlaceholderView(
          "PermissionGateView",
          "Quillmere reads your disk to size it. It never deletes anything you didn't ask it to.",
          contentArea_)),
      systemData_(new PlaceholderView("SystemDataView", {}, contentArea_)),
      applications_(new PlaceholderView("ApplicationsView", {}, contentArea_)),
      inspector_(new PlaceholderView("InspectorView", {}, contentArea_)) {
    setMinimumSize(760, 560);
    isFullDiskAccessGranted_ = host_.hasFullDiskAccess();
    volumes_ = host_.listVolumes();
    section_ = options_.launchSection();

    connect(topBar_, &MainTopBar::sectionSelected, this, &ContentView::setSection);
    connect(topBar_, &MainTopBar::viewModeSelected, this,
            [this](DiskViewMode mode) { settings_.setDiskViewMode(mode); });
    connect(topBar_, &MainTopBar::chooseAnotherDiskRequested, this, &ContentView::chooseAnotherDisk);
    connect(topBar_, &MainTopBar::rescanRequested, this, &ContentView::rescan);
    connect(topBar_, &MainTopBar::toggleInspectorRequested, this, &ContentView::toggleInspector);
    connect(topBar_, &MainTopBar::openSettingsRequested, this, &ContentView::openSettingsRequested);
    connect(pathBar_, &BottomPathBar::backRequested, this,
            [this] { navigate([this] { history_->goBack(); }); });
    connect(pathBar_, &BottomPathBar::forwardRequested, this,
            [this] { navigate([this] { history_->goForward(); }); });
    connect(pathBar_, &BottomPathBar::crumbSelected, this, [this](int index) {
        navigate([this, index] {
            const auto path = history_->currentPath();
            // The last crumb is the folder shown: choosing it changes nothing.
            if (index >= 0 && static_cast<size_t>(index) + 1 < path.size())
                history_->visit(std::vector<FileNode>(path.begin(), path.begin() + index + 1));
        });
    });
    connect(history_, &NavigationHistory::visitsChanged, this, &ContentView::updateScreens);
    connect(history_, &NavigationHistory::currentIndexChanged, this, &ContentView::updateScreens);
    connect(&settings_, &AppSettings::diskViewModeChanged, this, &ContentView::updateScreens);

    gate_->setAction("Continue");
    connect(gate_, &PlaceholderView::actionTriggered, this,
            [this] { settings_.setHasCompletedPermissionGate(true); });
    connect(&settings_, &AppSettings::hasCompletedPermissionGateChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::isScanningChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::progressChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::finishedScanChanged, this, &ContentView::updateScreens);
    // The inspector follows the selection: choosing a node opens it, clearing closes it.
    connect(selection_, &SelectionState::selectedNodeChanged, this, [this] {
        isInspectorPresented_ = selection_->selectedNode().has_value();
        updateScreens();
    });
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) reprobeAccess();
    });
    updateScreens();
}

ContentView::~ContentView() = default;

std::vector<ScannableVolume> ContentView::pickerVolumes() const {
    if (!volumes_.empty()) return volumes_;
    return {ScannableVolume::startupVolume()};
}

bool ContentView::sectionsReachable() const {
    return (settings_.hasCompletedPermissionGate() || options_.skipsPermissionGate()) &&
           selectedVolume_.has_value();
}

void ContentView::startScan(const ScannableVolume& volume) {
    selectedVolume_ = volume;
    selection_->setSelectedNode(std::nullopt);
    history_->clear();
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

void ContentView::toggleInspector() {
    isInspectorPresented_ = !isInspectorPresented_;
    updateScreens();
}

void ContentView::setSection(AppSection section) {
    section_ = section;
    updateScreens();
}

void ContentView::runLaunchTask() {
    scanState_->loadSavedSnapshot([this] {
        runLaunchLogic();
        emit launchTaskFinished();
    });
}

void ContentView::runLaunchLogic() {
    volumes_ = host_.listVolumes();
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
    updateScreens();
}

void ContentView::reprobeAccess() {
    isFullDiskAccessGranted_ = host_.hasFullDiskAccess();
    volumes_ = host_.listVolumes();
    if (!selectedVolume_) {
        delete picker_;
        picker_ = nullptr;
    }
    updateScreens();
}

// Every navigation step clears the selection first, so the inspector closes.
void ContentView::navigate(const std::function<void()>& step) {
    selection_->setSelectedNode(std::nullopt);
    step();
}

void ContentView::updateScreens() {
    // Base layer: the scan screen once a volume is chosen, else the gate, else the picker.
    const bool gatePassed = settings_.hasCompletedPermissionGate() || options_.skipsPermissionGate();
    if (centerView_ && (!selectedVolume_ || centerView_->volume() != *selectedVolume_)) {
        delete centerView_;
        centerView_ = nullptr;
    }
    if (sectionsReachable() && !centerView_) {
        centerView_ = new CenterView(*selectedVolume_, *history_, *scanState_, *selection_, settings_,
                                     options_, contentArea_);
        centerView_->show();
        fadeIn(centerView_);
    }
    if (!gatePassed || sectionsReachable()) {
        delete picker_;
        picker_ = nullptr;
    } else if (!picker_) {
        picker_ = new VolumePickerView(contentArea_);
        picker_->setVolumes(pickerVolumes());
        connect(picker_, &VolumePickerView::volumeSelected, this,
                [this](const ScannableVolume& v) { startScan(v); });
        picker_->show();
        fadeIn(picker_);
    }
    gate_->setVisible(!gatePassed && !sectionsReachable());

    const bool diskSection = section_ == AppSection::macintoshHD;
    if (centerView_) {
        // The scan screen stays in place under the other sections, so a scan goes on; it is
        // only hidden there.
        centerView_->setVisible(diskSection);
        centerView_->setDetailsPanelInset(diskSection && isInspectorPresented_ ? kInspectorInset : 0);
    }

    // Layers above, chosen by the section.
    systemData_->setVisible(section_ == AppSection::systemData);
    if (section_ == AppSection::systemData) {
        // While a scan runs, the waiting view with its figures; after one, the probe's report
        // (until it arrives, "Reading system data…"); before any, the waiting view.
        QString view = "SystemDataAwaitingScanView";
        QString detail = QString::fromStdString(history_->volumeName());
        if (scanState_->isScanning()) {
            detail = QString::fromStdString(scanStatusLine(scanState_->progress()));
        } else if (scanState_->finishedScan()) {
            view = "SystemDataView";
            detail = "Reading system data\u2026";
        }
        systemData_->setViewName(view);
        systemData_->setDetail(detail);
        systemData_->raise();
    }
    applications_->setVisible(section_ == AppSection::applications);
    if (section_ == AppSection::applications) applications_->raise();
    inspector_->setVisible(diskSection && isInspectorPresented_);
    if (inspector_->isVisible()) {
        const auto& node = selection_->selectedNode();
        inspector_->setDetail(node ? QString::fromStdString(std::string(node->name()) + " \u2014 " +
                                                            formatByteCount(node->allocatedSize()))
                                   : QString());
        inspector_->raise();
    }
    pathBar_->setVisible(sectionsReachable() && diskSection && !scanState_->isScanning());
    topBar_->setSelection(section_);
    topBar_->setSectionsReachable(sectionsReachable());
    topBar_->setIsScanning(scanState_->isScanning());
    topBar_->setHasNodeSelected(selection_->selectedNode().has_value());
    topBar_->setCanChooseAnotherDisk(pickerVolumes().size() > 1);
    topBar_->setViewMode(settings_.diskViewMode());
    topBar_->setHasTree(!history_->currentPath().empty());
    layoutLayers();
    update();
}

void ContentView::resizeEvent(QResizeEvent*) {
    layoutLayers();
}

void ContentView::layoutLayers() {
    const int pathBar = pathBar_->isVisible() ? BottomPathBar::kHeight : 0;
    topBar_->setGeometry(0, 0, width(), MainTopBar::kHeight);
    contentArea_->setGeometry(0, MainTopBar::kHeight, width(), height() - MainTopBar::kHeight - pathBar);
    pathBar_->setGeometry(0, height() - pathBar, width(), pathBar);
    const QRect area(QPoint(0, 0), contentArea_->size());
    for (QWidget* layer :
         {static_cast<QWidget*>(centerView_), static_cast<QWidget*>(picker_), static_cast<QWidget*>(gate_),
          static_cast<QWidget*>(systemData_), static_cast<QWidget*>(applications_)})
        if (layer) layer->setGeometry(area);
    inspector_->setGeometry(area.width() - 16 - kInspectorWidth, 4, kInspectorWidth, area.height() - 4 - 12);
}

void ContentView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintStageBackground(painter, QRectF(rect()), Theme::isDark(this));
}

} // namespace quillmere
