// The window's layers: which screen shows, where each lies, and the details panel's motion.
#include "app/BottomPathBar.hpp"
#include "app/CenterView.hpp"
#include "app/ContentView.hpp"
#include "app/InspectorView.hpp"
#include "app/MainTopBar.hpp"
#include "app/Placeholders.hpp"
#include "app/StageBackground.hpp"
#include "app/SystemDataAwaitingScanView.hpp"
#include "app/VolumePickerView.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "platform/HostSystem.hpp"
#include "systemdata/view/SystemDataView.hpp"
#include "ui/FadeEffect.hpp"
#include "ui/Motion.hpp"
#include "ui/Theme.hpp"
#include "ui/Transitions.hpp"

#include <QPainter>
#include <QResizeEvent>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {

namespace {

constexpr int kInspectorWidth = 302;
constexpr int kInspectorInset = 334;
constexpr int kInspectorMargin = 16;

} // namespace

void ContentView::updateScreens() {
    if (holdsScreenUpdates_) return;
    // Base layer: the scan screen once a volume is chosen, else the gate, else the picker.
    const bool gatePassed = settings_.hasCompletedPermissionGate() || options_.skipsPermissionGate();
    if (centerView_ && (!selectedVolume_ || centerView_->volume() != *selectedVolume_)) {
        delete centerView_;
        centerView_ = nullptr;
    }
    if (sectionsReachable() && !centerView_) {
        centerView_ = new CenterView(*selectedVolume_, *history_, *scanState_, *selection_, settings_,
                                     options_, protection_, *host_.scanHost, contentArea_);
        centerView_->setPrivilegedScan(privilegedScan_, platform::homeDirectory());
        centerView_->hide();
        transitions::fadeIn(centerView_);
    }
    if (!gatePassed || sectionsReachable()) {
        delete picker_;
        picker_ = nullptr;
    } else if (!picker_) {
        picker_ = new VolumePickerView(contentArea_);
        picker_->setVolumes(pickerVolumes());
        connect(picker_, &VolumePickerView::volumeSelected, this,
                [this](const ScannableVolume& v) { startScan(v); });
        picker_->hide();
    }
    // The gate and the picker give way to the other sections as the scan screen does.
    const bool diskSection = section_ == AppSection::macintoshHD;
    if (picker_ && transitions::isLayerShown(picker_) != diskSection) {
        transitions::setLayerShown(picker_, diskSection);
        if (diskSection) focusFirstTile();
    }
    transitions::setLayerShown(gate_, !gatePassed && !sectionsReachable() && diskSection);

    if (centerView_) {
        // The scan screen stays in place under the other sections, so a scan goes on; there it
        // is only faded out and takes no clicks.
        transitions::setLayerShown(centerView_, diskSection);
        centerView_->setAccessAudit(accessAudit_, isFullDiskAccessGranted_, host_.openUrl);
        centerView_->setDetailsPanelInset(diskSection && isInspectorPresented_ ? kInspectorInset : 0);
    }

    // Layers above, chosen by the section.
    updateSystemDataLayers();
    transitions::setLayerShown(applications_, section_ == AppSection::applications);
    if (section_ == AppSection::applications) applications_->raise();
    {
        const auto chain = history_->currentPath();
        inspector_->setTotalUsedBytes(chain.empty() ? 0 : chain.front().allocatedSize());
    }
    presentInspector(diskSection && isInspectorPresented_);
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

void ContentView::resizeEvent(QResizeEvent* event) {
    // The first size comes as the window is shown, well before its first paint.
    prepareStageBackground(event->size(), Theme::isDark(this));
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
          static_cast<QWidget*>(systemDataAwaiting_), static_cast<QWidget*>(systemDataReading_),
          static_cast<QWidget*>(systemDataView_), static_cast<QWidget*>(applications_)})
        if (layer) layer->setGeometry(area);
    // The panel comes in from beyond the trailing edge.
    const double travel = (1 - inspectorShown_) * (kInspectorWidth + kInspectorMargin);
    // The panel's shadow lies beyond its 302 points.
    const QMargins bleed = GlassPanel::shadowBleed().toMargins();
    inspector_->setGeometry(
        QRect(area.width() - kInspectorMargin - kInspectorWidth + int(std::lround(travel)), 4,
              kInspectorWidth, area.height() - 4 - 12)
            .marginsAdded(bleed));
    if (auto* effect = dynamic_cast<FadeEffect*>(inspector_->graphicsEffect()))
        effect->setOpacity(inspectorShown_);
}

void ContentView::presentInspector(bool presented) {
    const double target = presented ? 1 : 0;
    if (inspectorMotion_->state() == QAbstractAnimation::Running) {
        if (inspectorMotion_->endValue().toDouble() == target) return;
        inspectorMotion_->stop();
    }
    if (presented) inspector_->raise();
    if (inspectorShown_ == target) {
        settleInspector();
        return;
    }
    const int duration = motionDuration(kNavigationMs);
    if (duration == 0) {
        inspectorShown_ = target;
        settleInspector();
        return;
    }
    if (!inspector_->graphicsEffect()) {
        auto* fade = new FadeEffect(inspector_);
        fade->setOpacity(inspectorShown_); // from where the panel is, before the motion's first step
        inspector_->setGraphicsEffect(fade);
    }
    inspector_->show();
    inspectorMotion_->setDuration(duration);
    inspectorMotion_->setStartValue(inspectorShown_);
    inspectorMotion_->setEndValue(target);
    inspectorMotion_->start();
}

void ContentView::settleInspector() {
    inspector_->setGraphicsEffect(nullptr); // drawn directly once in place
    inspector_->setVisible(inspectorShown_ >= 1);
    layoutLayers();
}

void ContentView::updateSystemDataLayers() {
    // First rule that holds: the probe's report on the System Data screen; a running scan
    // waits with its figures; after a scan, "Reading system data…"; before any, the waiting
    // view with its start action.
    const bool shown = section_ == AppSection::systemData;
    const bool hasReport = systemDataReport_.has_value();
    const bool reading = !scanState_->isScanning() && scanState_->finishedScan().has_value();
    if (hasReport && !systemDataView_) {
        systemDataView_ = new SystemDataView(contentArea_);
        systemDataView_->hide();
        systemDataView_->setOnReclaimRequested([this](const std::vector<SystemDataCategory>& categories) {
            requestSystemDataReclaim(categories);
        });
    }
    if (hasReport && systemDataView_->report() != *systemDataReport_)
        systemDataView_->setReport(*systemDataReport_);
    systemDataAwaiting_->setVolumeName(QString::fromStdString(history_->volumeName()));
    systemDataAwaiting_->setProgress(scanState_->isScanning() ? scanState_->progress() : std::nullopt);
    systemDataAwaiting_->setCanStartScan(!scanState_->isScanning());
    transitions::setLayerShown(systemDataAwaiting_, shown && !hasReport && !reading);
    transitions::setLayerShown(systemDataReading_, shown && !hasReport && reading);
    if (systemDataView_) transitions::setLayerShown(systemDataView_, shown && hasReport);
    if (shown) {
        systemDataAwaiting_->raise();
        systemDataReading_->raise();
        if (systemDataView_) systemDataView_->raise();
    }
}

void ContentView::focusFirstTile() {
    if (!picker_ || picker_->tiles().isEmpty()) return;
    // The first tile takes the keyboard at once and shows its ring, so Return never acts on
    // a control drawn without one.
    picker_->tiles().first()->setFocus(Qt::OtherFocusReason);
}

void ContentView::toggleInspector() {
    isInspectorPresented_ = !isInspectorPresented_;
    updateScreens();
}

void ContentView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintStageBackground(painter, QRectF(rect()), Theme::isDark(this));
}

} // namespace quillmere
