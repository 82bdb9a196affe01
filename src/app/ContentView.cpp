#include "app/ContentView.hpp"

#include "access/AccessAuditor.hpp"
#include "app/CenterView.hpp"
#include "app/Motion.hpp"
#include "app/Placeholders.hpp"
#include "app/ScanScreenText.hpp"
#include "app/ScanScreens.hpp"
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

constexpr int kTopBarHeight = 52;
constexpr int kPathBarHeight = 40;
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
      selection_(new SelectionState(this)), section_(AppSection::macintoshHD),
      topBar_(new PlaceholderView("MainTopBar", {}, this)), contentArea_(new QWidget(this)),
      pathBar_(new PlaceholderView("BottomPathBar", {}, this)),
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

QWidget* ContentView::makeVolumePicker() {
    auto* picker = new PlaceholderView("VolumePickerView", "Choose the disk to scan.", contentArea_);
    auto* column = new QVBoxLayout(picker);
    column->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    column->setContentsMargins(0, 0, 0, 120);
    for (const ScannableVolume& volume : pickerVolumes()) {
        auto* button = new QPushButton(
            QString::fromStdString(volume.name + " \u2014 " + formatByteCount(volume.availableCapacityBytes) +
                                   " free of " + formatByteCount(volume.totalCapacityBytes)),
            picker);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, volume] { startScan(volume); });
        column->addWidget(button);
    }
    return picker;
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
        picker_ = makeVolumePicker();
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
        if (scanState_->isScanning())
            systemData_->setViewName("SystemDataAwaitingScanView"),
                systemData_->setDetail(QString::fromStdString(scanStatusLine(scanState_->progress())));
        else if (scanState_->finishedScan())
            systemData_->setViewName("SystemDataView"), systemData_->setDetail("Reading system data\u2026");
        else
            systemData_->setViewName("SystemDataAwaitingScanView"),
                systemData_->setDetail(QString::fromStdString(history_->volumeName()));
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
    layoutLayers();
    update();
}

void ContentView::resizeEvent(QResizeEvent*) {
    layoutLayers();
}

void ContentView::layoutLayers() {
    const int pathBar = pathBar_->isVisible() ? kPathBarHeight : 0;
    topBar_->setGeometry(0, 0, width(), kTopBarHeight);
    contentArea_->setGeometry(0, kTopBarHeight, width(), height() - kTopBarHeight - pathBar);
    pathBar_->setGeometry(0, height() - pathBar, width(), pathBar);
    const QRect area(QPoint(0, 0), contentArea_->size());
    for (QWidget* layer : {static_cast<QWidget*>(centerView_), picker_, static_cast<QWidget*>(gate_),
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
