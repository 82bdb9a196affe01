#include "applications/view/ApplicationsView.hpp"

#include "applications/model/PanelRules.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/AppDropOverlay.hpp"
#include "applications/view/AppIconCache.hpp"
#include "applications/view/ApplicationListView.hpp"
#include "applications/view/ApplicationsToolbar.hpp"
#include "applications/view/DetailPanels.hpp"
#include "applications/view/PackagedAppPanel.hpp"
#include "ui/FadeEffect.hpp"
#include "ui/Motion.hpp"
#include "ui/Theme.hpp"

#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace quillmere {
namespace {

constexpr int kDetailWidth = 302;
constexpr int kDetailPadding = 16;

// The first URL of a drag or drop as a local path; empty when it is not a local file.
std::string firstLocalPath(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
    return urls.first().toLocalFile().toStdString();
}

} // namespace

ApplicationsView::ApplicationsView(ApplicationsState& state, ReclaimPresenter& presenter, RevealItems reveal,
                                   QWidget* parent)
    : QWidget(parent), state_(state), presenter_(presenter), reveal_(std::move(reveal)),
      icons_(new AppIconCache(this)), listPane_(new QWidget(this)), listOpacity_(new FadeEffect(listPane_)),
      search_(new SearchField(listPane_)), strip_(new ApplicationsSummaryStrip(listPane_)),
      list_(new ApplicationListView(*icons_, listPane_)), detailHost_(new GlassPanel(this, 14, true)),
      detailOpacity_(new FadeEffect(detailHost_)), overlay_(new AppDropOverlay(this)),
      overlayOpacity_(new FadeEffect(overlay_)), detailMotion_(new QVariantAnimation(this)),
      overlayMotion_(new QVariantAnimation(this)) {
    setAcceptDrops(true);
    search_->lineEdit()->setAcceptDrops(false);
    auto* column = new QVBoxLayout(listPane_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(search_);
    column->addWidget(strip_);
    column->addWidget(list_, 1);
    listOpacity_->setOpacity(1);
    listOpacity_->setEnabled(false);
    listPane_->setGraphicsEffect(listOpacity_);

    detailHost_->setReservesShadowRoom(false);
    auto* hostLayout = new QVBoxLayout(detailHost_);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    detailHost_->setGraphicsEffect(detailOpacity_);
    detailHost_->hide();

    overlay_->setGraphicsEffect(overlayOpacity_);
    overlay_->hide();

    for (QVariantAnimation* motion : {detailMotion_, overlayMotion_})
        motion->setEasingCurve(QEasingCurve::InOutQuad);
    connect(detailMotion_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        detailShown_ = value.toDouble();
        layoutPanes();
    });
    connect(detailMotion_, &QVariantAnimation::finished, this, [this] {
        if (detailShown_ > 0 || !panelKey_.empty()) return;
        detailHost_->hide();
        if (panel_) panel_->deleteLater();
        panel_ = nullptr;
    });
    connect(overlayMotion_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        overlayShown_ = value.toDouble();
        layoutPanes();
    });

    connect(search_, &SearchField::textEdited, this,
            [this](const QString& text) { state_.setSearchText(text.toStdString()); });
    connect(list_, &ApplicationListView::appSelected, this, &ApplicationsView::selectApp);
    connect(list_, &ApplicationListView::orphanGroupSelected, this, &ApplicationsView::selectOrphanGroup);
    for (auto signal :
         {&ApplicationsState::appsChanged, &ApplicationsState::attributionsChanged,
          &ApplicationsState::isInventoryCompleteChanged, &ApplicationsState::isAttributionCompleteChanged,
          &ApplicationsState::orphanGroupsChanged, &ApplicationsState::selectedAppPathChanged,
          &ApplicationsState::selectedOrphanGroupIDChanged, &ApplicationsState::searchTextChanged,
          &ApplicationsState::droppedAppChanged, &ApplicationsState::droppedAppAttributionChanged})
        connect(&state_, signal, this, &ApplicationsView::refresh);
    refresh();
}

ApplicationsView::~ApplicationsView() = default;

void ApplicationsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    state_.start();
}

void ApplicationsView::selectApp(const std::string& path) {
    if (state_.selectedOrphanGroupID()) state_.setSelectedOrphanGroupID(std::nullopt);
    state_.setDroppedApp(std::nullopt);
    state_.setSelectedAppPath(path);
}

void ApplicationsView::selectOrphanGroup(const std::string& id) {
    if (state_.selectedAppPath()) state_.setSelectedAppPath(std::nullopt);
    state_.setDroppedApp(std::nullopt);
    state_.setSelectedOrphanGroupID(id);
}

void ApplicationsView::refresh() {
    const QString shownText = QString::fromStdString(state_.searchText());
    search_->setText(shownText);
    strip_->setSummary(applicationsSummary(state_.apps(), state_.attributions()),
                       !state_.isAttributionComplete());

    ApplicationListView::Content content;
    content.rows = filteredApplicationRows(state_.apps(), state_.attributions(), state_.searchText());
    content.orphanGroups = state_.orphanGroups();
    content.kind = listAreaContent(!state_.apps().empty(), state_.isInventoryComplete(),
                                   !content.rows.empty(), !content.orphanGroups.empty(), state_.searchText());
    content.selectedAppPath = state_.selectedAppPath();
    content.selectedOrphanGroupID = state_.selectedOrphanGroupID();
    content.searchText = state_.searchText();
    list_->setContent(std::move(content));
    refreshDetail();
}

void ApplicationsView::refreshDetail() {
    const PanelServices services{state_, presenter_, reveal_, *icons_};
    std::string key;
    std::function<QWidget*()> make;
    const std::optional<InstalledApp> app =
        selectedApp(state_.apps(), state_.selectedAppPath(), state_.droppedApp());
    std::optional<OrphanLeftoverGroup> group;
    std::optional<LeftoverAttribution> attribution;
    if (app) {
        attribution = attributionFor(*app, state_.selectedAppPath(), state_.attributions(),
                                     state_.droppedAppAttribution());
        key = (state_.selectedAppPath() ? "app:" : "dropped:") +
              std::string(app->isProtected    ? "protected:"
                          : app->isPackaged() ? "packaged:"
                                              : "") +
              app->path;
        if (app->isProtected)
            make = [&] { return new ProtectedAppPanel(*app, services); };
        else if (app->isPackaged())
            make = [&] { return new PackagedAppPanel(*app, attribution, services); };
        else
            make = [&] { return new RemovableAppPanel(*app, attribution, services); };
    } else if ((group = selectedOrphanGroup(state_.orphanGroups(), state_.selectedOrphanGroupID()))) {
        key = "orphan:" + group->id();
        make = [&] { return new OrphanPanel(*group, services); };
    }

    if (!key.empty() && key == panelKey_ && panel_) {
        if (auto* removable = qobject_cast<RemovableAppPanel*>(panel_))
            removable->setAttribution(attribution);
        if (auto* packaged = qobject_cast<PackagedAppPanel*>(panel_)) packaged->setAttribution(attribution);
        auto* orphan = qobject_cast<OrphanPanel*>(panel_);
        if (!orphan || orphan->group() == *group) return;
    }
    if (key == panelKey_ && key.empty()) return;

    const bool wasShown = !panelKey_.empty();
    panelKey_ = key;
    if (key.empty()) {
        // The old panel stays while the pane slides out; it goes when the motion ends.
        if (panel_) panel_->setEnabled(false);
        animate(detailMotion_, 0);
        return;
    }
    // Later: the old panel may be the one whose completion changed the state.
    if (panel_) {
        panel_->hide();
        panel_->deleteLater();
    }
    panel_ = make();
    panel_->setParent(detailHost_);
    detailHost_->layout()->addWidget(panel_);
    panel_->show();
    detailHost_->show();
    detailHost_->raise();
    overlay_->raise();
    if (!wasShown) animate(detailMotion_, 1);
    layoutPanes();
}

void ApplicationsView::animate(QVariantAnimation* animation, double target) {
    const double from = animation == detailMotion_ ? detailShown_ : overlayShown_;
    animation->stop();
    const int duration = motionDuration(kNavigationMs);
    if (duration == 0 || from == target) {
        (animation == detailMotion_ ? detailShown_ : overlayShown_) = target;
        layoutPanes();
        emit animation->finished();
        return;
    }
    animation->setDuration(duration);
    animation->setStartValue(from);
    animation->setEndValue(target);
    animation->start();
}

void ApplicationsView::layoutPanes() {
    const int inset = qRound((kDetailWidth + kDetailPadding) * detailShown_);
    listPane_->setGeometry(16, 2, std::max(0, width() - 32 - inset), std::max(0, height() - 2 - 16));
    const int x = width() - kDetailPadding - kDetailWidth +
                  qRound((kDetailWidth + kDetailPadding) * (1 - detailShown_));
    detailHost_->setGeometry(x, kDetailPadding, kDetailWidth, std::max(0, height() - 2 * kDetailPadding));
    detailOpacity_->setOpacity(detailShown_);
    detailOpacity_->setEnabled(detailShown_ < 1);
    overlay_->setGeometry(rect());
    overlayOpacity_->setOpacity(overlayShown_);
    overlay_->setVisible(overlayShown_ > 0);
    const double listOpacity = 1 - 0.65 * overlayShown_;
    listOpacity_->setOpacity(listOpacity);
    listOpacity_->setEnabled(listOpacity < 1);
}

void ApplicationsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanes();
}

void ApplicationsView::setDropTargeted(bool targeted) {
    if (isDropTargeted_ == targeted) return;
    isDropTargeted_ = targeted;
    // While an application hovers, the panes take no clicks.
    listPane_->setAttribute(Qt::WA_TransparentForMouseEvents, targeted);
    detailHost_->setAttribute(Qt::WA_TransparentForMouseEvents, targeted);
    overlay_->raise();
    animate(overlayMotion_, targeted ? 1 : 0);
}

void ApplicationsView::dragEnterEvent(QDragEnterEvent* event) {
    if (!looksLikeApplication(firstLocalPath(event->mimeData()))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTargeted(true);
}

void ApplicationsView::dragMoveEvent(QDragMoveEvent* event) {
    if (isDropTargeted_) event->acceptProposedAction();
}

void ApplicationsView::dragLeaveEvent(QDragLeaveEvent*) {
    setDropTargeted(false);
}

void ApplicationsView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    const std::string path = firstLocalPath(event->mimeData());
    if (!looksLikeApplication(path)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (isInspectableApplication(path)) state_.inspectDroppedApp(path);
}

} // namespace quillmere
