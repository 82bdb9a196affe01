#include "app/ContentView.hpp"

#include "access/PrivilegedScanClient.hpp"
#include "app/BottomPathBar.hpp"
#include "app/CenterView.hpp"
#include "app/InspectorView.hpp"
#include "app/MainTopBar.hpp"
#include "app/PreviewWindow.hpp"
#include "app/RestrictedFlags.hpp"
#include "app/ScanScreens.hpp"
#include "app/SystemDataAwaitingScanView.hpp"
#include "app/SystemDataRefresher.hpp"
#include "app/VolumePickerView.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "platform/Bounded.hpp"
#include "reclaim/view/SheetReclaimPresenter.hpp"
#include "systemdata/ProtectedLocations.hpp"
#include "systemdata/view/SystemDataView.hpp"
#include "ui/FileViewer.hpp"
#include "ui/Transitions.hpp"

#include <QVariantAnimation>

namespace quillmere {

namespace {

// The Applications panels show their items through the desktop's file manager.
RevealItems revealInFileManager(QObject* owner) {
    platform::FileViewer* viewer = platform::FileViewer::system(owner);
    return [viewer](const std::vector<std::string>& paths) { viewer->reveal(paths); };
}

} // namespace

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
    restrictedFlags_ = new RestrictedFlags(ProtectedLocations::defaultFlagReader(), this);
    protection_ =
        std::make_shared<const ProtectedLocations>(ProtectionRoots::current(), restrictedFlags_->reader());
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
    connect(scanState_, &ScanState::finishedScanChanged, restrictedFlags_, &RestrictedFlags::forgetAll);
    connect(restrictedFlags_, &RestrictedFlags::restrictedFound, this, [this] {
        inspector_->refreshProtection();
        if (centerView_) centerView_->refreshProtection();
    });
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

void ContentView::setSection(AppSection section) {
    section_ = section;
    updateScreens();
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

PreviewWindow* ContentView::previewWindow() {
    if (!previewWindow_) previewWindow_ = new PreviewWindow(this);
    return previewWindow_;
}

} // namespace quillmere
