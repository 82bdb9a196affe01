#include "app/CenterView.hpp"

#include "access/AccessAuditor.hpp"
#include "app/Motion.hpp"
#include "app/Placeholders.hpp"
#include "app/ScanScreens.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/Modes.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "platform/HostSystem.hpp"
#include "scan/Format.hpp"
#include "scan/ScanSnapshot.hpp"

#include <QHBoxLayout>
#include <QStackedLayout>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {
namespace {

QString viewNameOf(DiskViewMode mode) {
    switch (mode) {
    case DiskViewMode::sunburst:
        return "SunburstView";
    case DiskViewMode::treemap:
        return "TreemapView";
    case DiskViewMode::list:
        return "FileListView";
    case DiskViewMode::largestItems:
        return "LargestItemsView";
    case DiskViewMode::byKind:
        return "ByKindView";
    case DiskViewMode::untouched:
        return "UntouchedView";
    }
    return "SunburstView";
}

} // namespace

CenterView::CenterView(ScannableVolume volume, NavigationHistory& history, ScanState& scanState,
                       SelectionState& selection, AppSettings& settings, const LaunchOptions& options,
                       QWidget* parent)
    : QWidget(parent), volume_(std::move(volume)), history_(history), scanState_(scanState),
      selection_(selection), settings_(settings), options_(options), frame_(new QHBoxLayout(this)),
      pageHost_(new QWidget(this)), pages_(new QStackedLayout(pageHost_)),
      paddingAnimation_(new QVariantAnimation(this)), scanning_(new ScanningIllustrationView(pageHost_)),
      ready_(new ReadyToScanView(pageHost_)), diskView_(new PlaceholderView("SunburstView", {}, pageHost_)) {
    // The pages sit in a frame whose trailing margin is the padding: a stacked layout alone
    // would ignore its margins.
    frame_->setContentsMargins(0, 0, 0, 0);
    frame_->setSpacing(0);
    frame_->addWidget(pageHost_);
    pages_->setContentsMargins(0, 0, 0, 0);
    paddingAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(paddingAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setTrailingPadding(value.toDouble()); });
    pages_->addWidget(scanning_);
    pages_->addWidget(ready_);
    pages_->addWidget(diskView_);
    const QString name = QString::fromStdString(volume_.name);
    scanning_->setVolume(name, volume_.totalCapacityBytes);
    ready_->setVolumeName(name);

    connect(ready_, &ReadyToScanView::startRequested, &scanState_, &ScanState::requestScan);
    connect(scanning_, &ScanningIllustrationView::stopRequested, this, &CenterView::stopScan);
    connect(&scanState_, &ScanState::rescanTokenChanged, this, &CenterView::runScan);
    connect(&scanState_, &ScanState::isScanningChanged, this, &CenterView::refresh);
    connect(&scanState_, &ScanState::progressChanged, this, &CenterView::refresh);
    connect(&history_, &NavigationHistory::visitsChanged, this, &CenterView::refresh);
    connect(&history_, &NavigationHistory::currentIndexChanged, this, &CenterView::refresh);
    connect(&settings_, &AppSettings::diskViewModeChanged, this, &CenterView::refresh);

    connect(&runner_, &ScanRunner::progress, this, [this](const ScanProgress& progress) {
        if (throttle_ && throttle_->admit(ProgressThrottle::Clock::now())) scanState_.setProgress(progress);
    });
    connect(&runner_, &ScanRunner::finished, this, [this](const DiskScanResult& result) {
        // The privileged helper's pass comes with the access layer; until then the result is final.
        history_.reset(result.root, volume_.name);
        scanState_.finishScan(result, saveVolumeUUID_, volume_.name);
    });
    connect(&runner_, &ScanRunner::ended, this, [this](bool sawFinished) {
        // A stream that ends without a result (the folder vanished before the walk began)
        // must not leave the screen saying "scanning" for ever.
        if (!sawFinished && scanState_.isScanning()) scanState_.discardScan();
    });
    refresh();
}

void CenterView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    applySavedSnapshotOnce();
    runScan();
}

void CenterView::setDetailsPanelInset(double inset) {
    if (inset == detailsPanelInset_) return;
    detailsPanelInset_ = inset;
    updateTrailingPadding();
}

QWidget* CenterView::currentPage() const {
    return pages_->currentWidget();
}

void CenterView::updateTrailingPadding() {
    const bool ringsShown =
        pages_->currentWidget() == diskView_ && settings_.diskViewMode() == DiskViewMode::sunburst;
    const double target = ringsShown ? 0 : detailsPanelInset_;
    // The rings keep the room free themselves; the stand-in disk view does it for them.
    diskView_->setTrailingInset(settings_.diskViewMode() == DiskViewMode::sunburst ? detailsPanelInset_ : 0);
    if (paddingAnimation_->state() == QAbstractAnimation::Running &&
        paddingAnimation_->endValue().toDouble() == target)
        return;
    paddingAnimation_->stop();
    if (target == trailingPadding_) return;
    const int duration = motionDuration(kNavigationMs);
    if (duration == 0) {
        setTrailingPadding(target);
        return;
    }
    paddingAnimation_->setDuration(duration);
    paddingAnimation_->setStartValue(trailingPadding_);
    paddingAnimation_->setEndValue(target);
    paddingAnimation_->start();
}

void CenterView::setTrailingPadding(double padding) {
    trailingPadding_ = padding;
    frame_->setContentsMargins(0, 0, static_cast<int>(std::lround(padding)), 0);
}

void CenterView::applySavedSnapshotOnce() {
    if (hasAppliedSavedSnapshot_) return;
    hasAppliedSavedSnapshot_ = true;
    const auto& snapshot = scanState_.savedSnapshot();
    if (!snapshot || !volume_.uuid || snapshot->volumeUUID != *volume_.uuid) return;
    history_.reset(snapshot->root, volume_.name);
    applyDebugSwitches();
}

void CenterView::applyDebugSwitches() {
    if (options_.has("--debug-start-scan")) {
        scanState_.requestScan();
        return;
    }
    if (!options_.has("--debug-select-largest")) return;
    const auto path = history_.currentPath();
    if (path.empty()) return;
    std::optional<FileNode> largest;
    for (const FileNode& child : path.back().children()) {
        if (child.isAggregate()) continue;
        if (!largest || child.allocatedSize() > largest->allocatedSize()) largest = child;
    }
    if (largest) selection_.setSelectedNode(largest);
}

void CenterView::runScan() {
    const int64_t token = scanState_.rescanToken();
    if (token < 1 || token == lastRunToken_) return;
    lastRunToken_ = token;
    saveVolumeUUID_ = volume_.uuid ? volume_.uuid : ScanSnapshotStore::volumeUUID(volume_.url);
    throttle_.emplace(ProgressThrottle::Clock::now());
    runner_.start(volume_.url, scanState_.cancellation(), AccessAuditor::hasFullDiskAccess(),
                  platform::homeDirectory());
}

void CenterView::stopScan() {
    if (const auto& cancellation = scanState_.cancellation()) cancellation->cancel();
}

void CenterView::openFolder(const std::vector<FileNode>& chain) {
    selection_.setSelectedNode(std::nullopt);
    auto path = history_.currentPath();
    path.insert(path.end(), chain.begin(), chain.end());
    history_.visit(std::move(path));
}

void CenterView::goUp() {
    auto path = history_.currentPath();
    if (path.size() < 2) return;
    selection_.setSelectedNode(std::nullopt);
    path.pop_back();
    history_.visit(std::move(path));
}

void CenterView::selectNode(const FileNode& node) {
    selection_.setSelectedNode(node);
}

void CenterView::refresh() {
    if (scanState_.isScanning()) {
        scanning_->setProgress(scanState_.progress());
        pages_->setCurrentWidget(scanning_);
        updateTrailingPadding();
        return;
    }
    const auto path = history_.currentPath();
    if (path.empty()) {
        pages_->setCurrentWidget(ready_);
        updateTrailingPadding();
        return;
    }
    const FileNode& folder = path.back();
    const auto crumbs = history_.breadcrumb();
    const std::string folderName = crumbs.empty() ? volume_.name : crumbs.back();
    diskView_->setViewName(viewNameOf(settings_.diskViewMode()));
    diskView_->setDetail(QString::fromStdString(folderName + " \u2014 " +
                                                formatByteCount(folder.allocatedSize()) + ", " +
                                                formatGroupedInteger(folder.fileCount()) + " files"));
    pages_->setCurrentWidget(diskView_);
    updateTrailingPadding();
}

} // namespace quillmere
