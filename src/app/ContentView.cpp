#include "app/ContentView.hpp"

#include "access/AccessAuditor.hpp"
#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "app/BottomPathBar.hpp"
#include "app/CenterView.hpp"
#include "app/InspectorView.hpp"
#include "app/MainTopBar.hpp"
#include "app/Motion.hpp"
#include "app/Placeholders.hpp"
#include "app/PreviewWindow.hpp"
#include "app/ScanScreenText.hpp"
#include "app/ScanScreens.hpp"
#include "app/SheetReclaimPresenter.hpp"
#include "app/SystemDataAwaitingScanView.hpp"
#include "app/SystemDataRefresher.hpp"
#include "app/Transitions.hpp"
#include "app/VolumePickerView.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/ApplicationsState.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "app/ui/Theme.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "platform/Bounded.hpp"
#include "platform/HostSystem.hpp"
#include "platform/desktop/FileViewer.hpp"
#include "scan/Format.hpp"
#include "systemdata/ProtectedLocations.hpp"
#include "systemdata/SystemDataRun.hpp"
#include "systemdata/sheet/view/DeleteConfirmationSheet.hpp"
#include "systemdata/view/SystemDataView.hpp"
#include "views/InspectorModel.hpp"

#include <QDialog>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <cmath>

namespace quillmere {
namespace {

constexpr int kInspectorWidth = 302;
constexpr int kInspectorInset = 334;
constexpr int kInspectorMargin = 16;

// The Applications panels show their items through the desktop's file manager.
RevealItems revealInFileManager(QObject* owner) {
    platform::FileViewer* viewer = platform::FileViewer::system(owner);
    return [viewer](const std::vector<std::string>& paths) { viewer->reveal(paths); };
}

} // namespace

ContentView::Host ContentView::Host::system() {
    Host host{[] { return ScannableVolume::mountedVolumes(); }, SnapshotIO::standard(),
              [] { return AccessAuditor("/", platform::homeDirectory()).isFullDiskAccessGranted(); },
              probeStartupVolume};
    host.openUrl = desktopUrlOpener();
    host.savedScan = SavedScanLocator::standard();
    host.helperService = std::make_shared<SystemctlServiceManager>(
        SystemctlServiceManager::Options{.approvalDocument = QUILLMERE_HELPER_GUIDE});
    host.helperSocket = kHelperSocketPath;
    return host;
}

ContentView::ContentView(const LaunchOptions& options, AppSettings& settings, Host host, QWidget* parent)
    : QWidget(parent), options_(options), settings_(settings), host_(std::move(host)),
      history_(new NavigationHistory(this)), scanState_(new ScanState(std::nullopt, host_.snapshotIO, this)),
      selection_(new SelectionState(this)), section_(AppSection::macintoshHD), topBar_(new MainTopBar(this)),
      contentArea_(new QWidget(this)), pathBar_(new BottomPathBar(*history_, this)),
      gate_(new PermissionGateView(false, host_.openUrl, contentArea_)),
      systemDataAwaiting_(new SystemDataAwaitingScanView(contentArea_)),
      systemDataReading_(new ReadingSystemDataView(contentArea_)),
      applicationsState_(new ApplicationsState(options_.arguments, this)),
      reclaimPresenter_(std::make_unique<SheetReclaimPresenter>(host_.makeReclaimer)),
      applications_(new ApplicationsView(*applicationsState_, *reclaimPresenter_, revealInFileManager(this),
                                         contentArea_)),
      inspector_(nullptr), inspectorMotion_(new QVariantAnimation(this)) {
    protection_ = std::make_shared<const ProtectedLocations>(ProtectedLocations::current());
    auto* fileViewer = platform::FileViewer::system(this);
    auto services =
        InspectorView::systemServices([fileViewer](const std::string& path) { fileViewer->reveal(path); },
                                      [this]() -> views::PreviewPanel* { return previewWindow(); });
    services.isProtectedPath = [protection = protection_](const std::string& path) {
        return protection->isProtectedPath(path);
    };
    inspector_ = new InspectorView(
        *selection_, std::move(services),
        {[this] { presentDeleteConfirmation(); }, [this](const FileNode& node) { openNode(node); }},
        contentArea_);
    systemDataRefresher_ = new SystemDataRefresher(host_.probeSystemData, this);
    // The content's own minimum: the window adds its menu bar to it.
    setMinimumSize(760, 560);
    for (QWidget* layer :
         {static_cast<QWidget*>(systemDataAwaiting_), static_cast<QWidget*>(systemDataReading_),
          static_cast<QWidget*>(applications_), static_cast<QWidget*>(inspector_)})
        layer->hide();
    connect(systemDataAwaiting_, &SystemDataAwaitingScanView::startScanRequested, this,
            &ContentView::startScanFromSystemData);
    inspectorMotion_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(inspectorMotion_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        inspectorShown_ = value.toDouble();
        layoutLayers();
    });
    connect(inspectorMotion_, &QVariantAnimation::finished, this, &ContentView::settleInspector);
    isFullDiskAccessGranted_ = host_.hasFullDiskAccess();
    listVolumes({});
    section_ = options_.launchSection();
    if (host_.helperService) {
        auto client = std::make_shared<PrivilegedScanClient>(
            *host_.helperService, SyslogPrivilegedScanLog::shared(),
            PrivilegedScanClient::Options{.socketPath = host_.helperSocket,
                                          .expectedUser = host_.helperUser});
        privilegedScan_ = new PrivilegedScanController(std::move(client), this);
    }

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

    gate_->setFullDiskAccessGranted(isFullDiskAccessGranted_);
    connect(gate_, &PermissionGateView::continueRequested, this,
            [this] { settings_.setHasCompletedPermissionGate(true); });
    connect(&settings_, &AppSettings::hasCompletedPermissionGateChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::isScanningChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::progressChanged, this, &ContentView::updateScreens);
    connect(scanState_, &ScanState::finishedScanChanged, this, [this] {
        // An audit of the previous scan never shows beside this one.
        accessAudit_.reset();
        recomputeAccessAudit();
        updateScreens();
    });
    connect(scanState_, &ScanState::finishedScanTokenChanged, this, &ContentView::refreshSystemData);
    connect(systemDataRefresher_, &SystemDataRefresher::reportReady, this,
            [this](const SystemDataReport& report) {
                systemDataReport_ = report;
                updateScreens();
            });
    // The inspector follows the selection: choosing a node opens it, clearing closes it.
    connect(selection_, &SelectionState::selectedNodeChanged, this, [this] {
        isInspectorPresented_ = selection_->selectedNode().has_value();
        updateScreens();
    });
    updateScreens();
}

ContentView::~ContentView() {
    // A listing still running calls the host's listVolumes, which may reach what ends with the
    // window; it is bounded by the time each volume is given to answer.
    background_.settle(platform::kFileSystemAnswerLimit + std::chrono::seconds(1));
}

std::vector<ScannableVolume> ContentView::pickerVolumes() const {
    if (!volumes_.empty()) return volumes_;
    if (startupFallback_) return {*startupFallback_};
    return {};
}

void ContentView::listVolumes(std::function<void()> then) {
    struct Listing {
        std::vector<ScannableVolume> volumes;
        std::optional<ScannableVolume> startup;
    };
    const uint64_t listing = ++volumeListings_;
    background_.run<Listing>(
        this,
        [list = host_.listVolumes] {
            Listing found{list(), std::nullopt};
            if (found.volumes.empty()) found.startup = ScannableVolume::startupVolume();
            return found;
        },
        [this, listing, then = std::move(then)](Listing found) {
            // A listing that comes in after a newer one changes nothing.
            if (listing > appliedListing_) {
                appliedListing_ = listing;
                const bool hadTiles = !pickerVolumes().empty();
                volumes_ = std::move(found.volumes);
                startupFallback_ = std::move(found.startup);
                // The picker keeps the tiles of volumes still listed, with their hover and focus.
                if (picker_) picker_->setVolumes(pickerVolumes());
                updateScreens();
                if (!hadTiles && picker_ && transitions::isLayerShown(picker_)) focusFirstTile();
            }
            if (then) then();
        });
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

void ContentView::presentDeleteConfirmation() {
    // Never an empty sheet: without a selected item there is nothing to confirm.
    const std::optional<FileNode> node = selection_->selectedNode();
    if (!node || deleteSheet_) return;
    isDeleteConfirmationPresented_ = true;
    auto* sheet = new DeleteConfirmationSheet(
        ReclaimTarget::node(*node), currentRoot(),
        [this](std::optional<FileNode> newRoot, const Reclaimer::Outcome& outcome) {
            applyDeletion(newRoot, outcome);
        },
        host_.makeReclaimer, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        isDeleteConfirmationPresented_ = false;
        deleteSheet_ = nullptr; // closing; a new request gets a sheet of its own
    });
    deleteSheet_ = sheet;
    sheet->open();
}

void ContentView::applyDeletion(const std::optional<FileNode>& newRoot, const Reclaimer::Outcome&) {
    selection_->setSelectedNode(std::nullopt);
    if (!newRoot) return;
    history_->remap(*newRoot);
    scanState_->replaceRoot(*newRoot);
}

std::optional<FileNode> ContentView::currentRoot() const {
    const auto& chain = history_->currentPath();
    if (chain.empty()) return std::nullopt;
    return chain.front();
}

QWidget* ContentView::deleteSheet() const {
    return deleteSheet_;
}

QWidget* ContentView::systemDataReclaimSheet() const {
    return systemDataSheet_;
}

bool ContentView::isReclaimRunning() const {
    return (deleteSheet_ && deleteSheet_->isWorking()) || (systemDataSheet_ && systemDataSheet_->isWorking());
}

// What a System Data reclaim moved leaves the scanned tree too, so the next report reads the
// category folders as they are now instead of from the tree of the last scan.
void ContentView::removeFromTree(const std::set<std::string>& canonicalPaths) {
    const std::optional<FileNode> root = currentRoot();
    if (canonicalPaths.empty() || !root) return;
    PathSet gone;
    for (const std::string& path : canonicalPaths)
        gone.insert(path);
    applyDeletion(root->removing(gone), {});
}

PreviewWindow* ContentView::previewWindow() {
    if (!previewWindow_) previewWindow_ = new PreviewWindow(this);
    return previewWindow_;
}

void ContentView::setSection(AppSection section) {
    section_ = section;
    updateScreens();
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

// After a finished scan or a System Data reclaim; the previous report stays until the new one
// arrives.
void ContentView::refreshSystemData() {
    if (scanState_->isScanning() || !scanState_->finishedScan()) return;
    systemDataRefresher_->start(*scanState_->finishedScan());
}

void ContentView::requestSystemDataReclaim(const std::vector<SystemDataCategory>& categories) {
    // A removal already under way runs to its end before another is asked for.
    if (systemDataSheet_ && (systemDataSheet_->isWorking() || systemDataSheet_->outcome())) return;
    if (systemDataSheet_) systemDataSheet_->reject();
    systemDataReclaimRequest_ = SystemDataReclaimRequest{QUuid::createUuid(), categories};
    presentSystemDataReclaim();
    emit systemDataReclaimRequested();
}

void ContentView::presentSystemDataReclaim() {
    const QUuid id = systemDataReclaimRequest_->id;
    auto* sheet = new DeleteConfirmationSheet(
        ReclaimTarget::systemData(systemDataReclaimRequest_->categories), std::nullopt,
        [this](std::optional<FileNode>, const Reclaimer::Outcome& outcome) {
            removeFromTree(outcome.systemDataRemovedPaths);
            finishSystemDataReclaim();
        },
        host_.makeReclaimer, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, id] {
        systemDataSheet_ = nullptr;
        if (systemDataReclaimRequest_ && systemDataReclaimRequest_->id == id) dismissSystemDataReclaim();
    });
    systemDataSheet_ = sheet;
    sheet->open();
}

void ContentView::finishSystemDataReclaim() {
    systemDataReclaimRequest_.reset();
    ++systemDataReprobeToken_;
    refreshSystemData();
}

void ContentView::dismissSystemDataReclaim() {
    systemDataReclaimRequest_.reset();
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
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(inspector_->graphicsEffect()))
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
    if (!inspector_->graphicsEffect()) inspector_->setGraphicsEffect(new QGraphicsOpacityEffect(inspector_));
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

void ContentView::startScanFromSystemData() {
    setSection(AppSection::macintoshHD);
    if (selectedVolume_) startScan(*selectedVolume_);
}

void ContentView::focusFirstTile() {
    if (!picker_ || picker_->tiles().isEmpty()) return;
    // The first tile takes the keyboard at once and shows its ring, so Return never acts on
    // a control drawn without one.
    picker_->tiles().first()->setFocus(Qt::OtherFocusReason);
}

QWidget* ContentView::topBar() const {
    return topBar_;
}

QWidget* ContentView::pathBar() const {
    return pathBar_;
}

InspectorView* ContentView::inspector() const {
    return inspector_;
}

void ContentView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintStageBackground(painter, QRectF(rect()), Theme::isDark(this));
}

} // namespace quillmere
