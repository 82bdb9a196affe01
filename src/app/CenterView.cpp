#include "app/CenterView.hpp"

#include "access/AccessAuditor.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "app/DiskViewSlot.hpp"
#include "app/Placeholders.hpp"
#include "app/ScanScreens.hpp"
#include "app/access/FullDiskAccessBanner.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/Modes.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "base/Format.hpp"
#include "platform/HostSystem.hpp"
#include "scan/ScanSnapshot.hpp"
#include "systemdata/ProtectedLocations.hpp"
#include "ui/Motion.hpp"
#include "views/widgets/FileListView.hpp"
#include "views/widgets/InsightScreenFrame.hpp"
#include "views/widgets/InsightViews.hpp"
#include "views/widgets/SunburstView.hpp"
#include "views/widgets/TreemapView.hpp"

#include <QHBoxLayout>
#include <QStackedLayout>
#include <QTimer>
#include <QVariantAnimation>
#include <chrono>
#include <cmath>
#include <future>

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
                       std::shared_ptr<const ProtectedLocations> protection, platform::ScanHost& scanHost,
                       QWidget* parent)
    : QWidget(parent), volume_(std::move(volume)), history_(history), scanState_(scanState),
      selection_(selection), settings_(settings), options_(options), runner_(nullptr, scanHost),
      frame_(new QHBoxLayout(this)), pageHost_(new QWidget(this)), pages_(new QStackedLayout(pageHost_)),
      paddingAnimation_(new QVariantAnimation(this)), scanning_(new ScanningIllustrationView(pageHost_)),
      ready_(new ReadyToScanView(pageHost_)), diskView_(new DiskViewSlot(pageHost_)),
      protection_(std::move(protection)), presentedNavigationSteps_(history.navigationSteps()) {
    diskView_->setMotionDuration([](int normal) { return motionDuration(normal); });
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
    connect(&settings_, &AppSettings::showsCapacityGaugeChanged, this, &CenterView::refresh);
    connect(&settings_, &AppSettings::untouchedYearsChanged, this, &CenterView::refresh);
    connect(&selection_, &SelectionState::selectedNodeChanged, this, &CenterView::refresh);

    connect(&runner_, &ScanRunner::progress, this, [this](const ScanProgress& progress) {
        if (throttle_ && throttle_->admit(ProgressThrottle::Clock::now())) scanState_.setProgress(progress);
    });
    connect(&runner_, &ScanRunner::finished, this, &CenterView::finishRun);
    connect(&runner_, &ScanRunner::ended, this, [this](bool sawFinished) {
        // A stream that ends without a result (the folder vanished before the walk began)
        // must not leave the screen saying "scanning" for ever.
        if (!sawFinished && scanState_.isScanning()) scanState_.discardScan();
    });
    refresh();
}

void CenterView::setPrivilegedScan(PrivilegedScanController* controller, std::string homeDirectory) {
    privilegedScan_ = controller;
    homeDirectory_ = std::move(homeDirectory);
    if (banner_) banner_->setPrivilegedScan(controller);
}

void CenterView::finishRun(const DiskScanResult& result) {
    const bool helperOn =
        privilegedScan_ && privilegedScan_->status().kind() == PrivilegedScanStatus::Kind::on;
    if (!helperOn) {
        history_.reset(result.root, volume_.name);
        scanState_.finishScan(result, saveVolumeUUID_, volume_.name);
        return;
    }
    // The helper walks the denied folders off the main thread while the scan still shows as
    // running. The result is handed to the window's state, which outlives this screen: a screen
    // closed during the pass still leaves the finished scan behind, and is never touched.
    auto pending = std::make_shared<std::future<DiskScanResult>>(
        augmentScanResultInBackground(result, privilegedScan_->client(), homeDirectory_));
    auto* poll = new QTimer(&scanState_);
    poll->setInterval(20);
    NavigationHistory* history = &history_;
    ScanState* state = &scanState_;
    const std::optional<std::string> volumeUUID = saveVolumeUUID_;
    const std::string volumeName = volume_.name;
    // Stop ends the scan for the user here too: a pass still going kStopGrace after the stop
    // is left to finish on its own, and the scan's own result stands.
    const std::shared_ptr<ScanCancellation> cancellation = scanState_.cancellation();
    auto stoppedAt = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
    connect(poll, &QTimer::timeout, poll,
            [poll, pending, history, state, volumeUUID, volumeName, result, cancellation, stoppedAt] {
                DiskScanResult merged = result;
                if (pending->wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
                    try {
                        merged = pending->get();
                    } catch (...) {
                        // The helper's failures yield no tree; the scan's own result stands.
                    }
                } else {
                    if (!cancellation || !cancellation->isCancelled()) return;
                    const auto now = std::chrono::steady_clock::now();
                    if (!*stoppedAt) *stoppedAt = now;
                    if (now - **stoppedAt < ScanRunner::kStopGrace) return;
                }
                poll->stop();
                poll->deleteLater();
                history->reset(merged.root, volumeName);
                state->finishScan(std::move(merged), volumeUUID, volumeName);
            });
    poll->start();
}

void CenterView::setAccessAudit(const std::optional<AccessAudit>& audit, bool hostHasFullDiskAccess,
                                UrlOpener opener) {
    if (!FullDiskAccessBanner::isPresented(audit, hostHasFullDiskAccess)) {
        if (banner_) banner_->hide();
        return;
    }
    if (!banner_) {
        banner_ = new FullDiskAccessBanner(std::move(opener), this);
        banner_->setPrivilegedScan(privilegedScan_);
    }
    banner_->setAudit(*audit);
    banner_->show();
    banner_->raise();
    placeBanner();
}

void CenterView::placeBanner() {
    if (!banner_) return;
    const QMarginsF bleed = GlassPanel::shadowBleed();
    const int available = width() - 20 - static_cast<int>(trailingPadding_) + static_cast<int>(bleed.left());
    const int bannerWidth = std::min(banner_->maximumWidth(), std::max(available, 200));
    const int bannerHeight = banner_->heightForWidth(bannerWidth) > 0 ? banner_->heightForWidth(bannerWidth)
                                                                      : banner_->sizeHint().height();
    banner_->setGeometry(20 - static_cast<int>(bleed.left()),
                         height() - 18 - bannerHeight + static_cast<int>(bleed.bottom()), bannerWidth,
                         bannerHeight);
}

void CenterView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeBanner();
}

void CenterView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    applySavedSnapshotOnce();
    runScan();
}

void CenterView::setDetailsPanelInset(double inset) {
    if (inset == detailsPanelInset_) return;
    detailsPanelInset_ = inset;
    // The rings are handed the inset; every other view is padded by it.
    refresh();
}

QWidget* CenterView::currentPage() const {
    return pages_->currentWidget();
}

QWidget* CenterView::diskView() const {
    return pages_->currentWidget() == diskView_ ? diskView_->view() : nullptr;
}

void CenterView::updateTrailingPadding() {
    const bool ringsShown =
        pages_->currentWidget() == diskView_ && settings_.diskViewMode() == DiskViewMode::sunburst;
    const double target = ringsShown ? 0 : detailsPanelInset_;
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
    runner_.stop(scanState_.cancellation());
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
        diskView_->forget();
        updateTrailingPadding();
        return;
    }
    const auto path = history_.currentPath();
    if (path.empty()) {
        pages_->setCurrentWidget(ready_);
        diskView_->forget();
        updateTrailingPadding();
        return;
    }
    // Only a navigation step (open, go up, back, forward, a crumb) moves to the new view with the
    // navigation transition; a finished or saved scan, a deletion or another mode shows it at once.
    const uint64_t steps = history_.navigationSteps();
    diskView_->setReplacementAnimated(steps != presentedNavigationSteps_);
    presentedNavigationSteps_ = steps;
    presentDiskView(path);
    pages_->setCurrentWidget(diskView_);
    updateTrailingPadding();
}

void CenterView::presentDiskView(const std::vector<FileNode>& path) {
    const FileNode& folder = path.back();
    const DiskViewMode mode = settings_.diskViewMode();
    const QString identity = viewNameOf(mode) + u'\n' + QString::fromStdString(folder.path());
    const auto& selected = selection_.selectedNode();
    const auto selectedPath = selected ? std::optional(selected->path()) : std::nullopt;
    if (mode == DiskViewMode::sunburst) {
        SunburstInputs inputs;
        inputs.root = folder;
        inputs.volumeName = volume_.name;
        inputs.isScanning = scanState_.isScanning();
        // The view lays the folder out itself, a large one off the main thread.
        inputs.layoutHost = views::SunburstHostInputs{volume_.name, volume_.totalCapacityBytes, path.size(),
                                                      inputs.isScanning};
        if (path.size() == 2) inputs.parentName = volume_.name;
        if (path.size() > 2) inputs.parentName = std::string(path[path.size() - 2].name());
        inputs.selectedPath = selectedPath;
        inputs.showsCapacityGauge = settings_.showsCapacityGauge();
        inputs.detailsPanelInset = detailsPanelInset_;
        diskView_->present(
            identity,
            [&] {
                auto* view = new SunburstView(
                    inputs, {[this](const std::vector<FileNode>& chain) { openFolder(chain); },
                             [this](const FileNode& node) { selectNode(node); }, [this] { goUp(); }});
                view->setReducedMotionSource(&prefersReducedMotion);
                return view;
            },
            [&](QWidget* view) { static_cast<SunburstView*>(view)->setInputs(inputs); });
        return;
    }
    if (mode == DiskViewMode::treemap) {
        diskView_->present(
            identity,
            [&] {
                return new TreemapView(folder,
                                       {[this](const std::vector<FileNode>& chain) { openFolder(chain); },
                                        [this](const FileNode& node) { selectNode(node); }});
            },
            [&](QWidget* view) { static_cast<TreemapView*>(view)->setRoot(folder); });
        return;
    }
    if (mode == DiskViewMode::list) {
        diskView_->present(
            identity,
            [&] {
                return new FileListView(folder,
                                        {[this](const std::vector<FileNode>& chain) { openFolder(chain); },
                                         [this](const FileNode& node) { selectNode(node); },
                                         [protection = protection()](const FileNode& node) {
                                             return protection->isProtectedSystemItem(node);
                                         }},
                                        selectedPath);
            },
            [&](QWidget* view) {
                auto* list = static_cast<FileListView*>(view);
                list->setRoot(folder);
                list->setSelectedPath(selectedPath);
            });
        return;
    }
    const auto crumbs = history_.breadcrumb();
    const std::string folderName = crumbs.empty() ? volume_.name : crumbs.back();
    if (mode == DiskViewMode::largestItems || mode == DiskViewMode::byKind ||
        mode == DiskViewMode::untouched) {
        presentInsightScreen(mode, identity, {folder, folderName, isFromSavedScan(), selectedPath});
        return;
    }
    const QString detail =
        QString::fromStdString(folderName + " \u2014 " + formatByteCount(folder.allocatedSize()) + ", " +
                               formatGroupedInteger(folder.fileCount()) + " files");
    diskView_->present(
        identity, [&] { return new PlaceholderView(viewNameOf(mode), detail); },
        [&](QWidget* view) { static_cast<PlaceholderView*>(view)->setDetail(detail); });
}

void CenterView::refreshProtection() {
    QWidget* view = diskView_->view();
    if (!view) return;
    if (auto* list = qobject_cast<FileListView*>(view)) list->refreshProtection();
    for (auto* rows : view->findChildren<InsightItemList*>())
        rows->refreshProtection();
}

std::shared_ptr<const ProtectedLocations> CenterView::protection() {
    if (!protection_) protection_ = std::make_shared<const ProtectedLocations>(ProtectedLocations::current());
    return protection_;
}

void CenterView::presentInsightScreen(DiskViewMode mode, const QString& identity, InsightInputs inputs) {
    const auto actions = [this] {
        return InsightActions{[this](const std::vector<FileNode>& chain) { openFolder(chain); },
                              [this](const FileNode& node) { selectNode(node); },
                              [protection = protection()](const std::string& path) {
                                  return protection->isProtectedPath(path);
                              },
                              systemNow, &prefersReducedMotion};
    };
    if (mode == DiskViewMode::largestItems) {
        diskView_->present(
            identity, [&] { return new LargestItemsView(inputs, actions()); },
            [&](QWidget* view) { static_cast<LargestItemsView*>(view)->setInputs(inputs); });
    } else if (mode == DiskViewMode::byKind) {
        diskView_->present(
            identity, [&] { return new ByKindView(inputs, actions()); },
            [&](QWidget* view) { static_cast<ByKindView*>(view)->setInputs(inputs); });
    } else {
        const int years = settings_.untouchedYears();
        diskView_->present(
            identity,
            [&] {
                auto* view = new UntouchedView(inputs, years, actions());
                view->onYearsChosen = [this](int chosen) { settings_.setUntouchedYears(chosen); };
                return view;
            },
            [&](QWidget* view) {
                auto* untouched = static_cast<UntouchedView*>(view);
                untouched->setInputs(inputs);
                untouched->setYears(years);
            });
    }
}

bool CenterView::isFromSavedScan() const {
    return !scanState_.finishedScan().has_value();
}

} // namespace quillmere
