#include "applications/view/DetailPanels.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/AppIconCache.hpp"
#include "applications/view/DetailPanelWidgets.hpp"
#include "applications/view/ViewText.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/ProgressIndicator.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace quillmere {
namespace {

using Group = LeftoverItem::Group;
constexpr Group kGroupOrder[] = {Group::application, Group::soundLibrariesAndContent,
                                 Group::supportAndContainers, Group::cachesPreferencesAndState};

QVBoxLayout* column(QWidget* owner, int margin, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    return layout;
}

// The orphan panel's header: the group's tile, its title and how many entries are left.
class OrphanHeader : public QWidget {
public:
    OrphanHeader(const OrphanLeftoverGroup& group, QLabel*& line, QWidget* parent) : QWidget(parent) {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(15, 15, 15, 15);
        row->setSpacing(11);
        auto* tile = new IconTile(IconTile::orphanGroup(), 40, this);
        tile->setReservesShadowRoom(false);
        row->addWidget(tile, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        auto* title = makeLabel(qs(orphanTitle(group)), 15, QFont::DemiBold, Ink::primary, this);
        title->setTextFormat(Qt::PlainText);
        texts->addWidget(title);
        line = makeLabel(qs(texts::notInstalledLine(static_cast<int64_t>(group.entries.size()))), 11.5,
                         QFont::Normal, Ink::secondary, this);
        texts->addWidget(line);
        row->addLayout(texts, 1);
    }
};

// A big figure on the left, two small lines on the right.
QWidget* totalsStrip(QWidget* parent, QLabel*& big, QLabel*& upper, QLabel*& lower, bool upperSemibold) {
    auto* strip = new QWidget(parent);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(15, 15, 15, 15);
    big = makeLabel({}, 26, QFont::Bold, Ink::primary, strip);
    row->addWidget(big, 0, Qt::AlignBottom);
    row->addStretch(1);
    auto* small = new QVBoxLayout;
    small->setSpacing(1);
    upper = makeLabel({}, 11, upperSemibold ? QFont::DemiBold : QFont::Normal, Ink::primary, strip);
    lower = makeLabel({}, 11, QFont::Normal, Ink::secondary, strip);
    upper->setAlignment(Qt::AlignRight);
    lower->setAlignment(Qt::AlignRight);
    small->addWidget(upper);
    small->addWidget(lower);
    row->addLayout(small);
    return strip;
}

// The line over a panel's action button: a note on the left, the bytes it acts on on the right.
QHBoxLayout* noteAndBytesLine(QWidget* owner, QLabel*& note, QLabel*& bytes) {
    auto* line = new QHBoxLayout;
    note = makeLabel({}, 12, QFont::Normal, Ink::secondary, owner);
    bytes = makeLabel({}, 13, QFont::DemiBold, Ink::primary, owner);
    line->addWidget(note, 0, Qt::AlignBottom);
    line->addStretch(1);
    line->addWidget(bytes, 0, Qt::AlignBottom);
    return line;
}

} // namespace

std::vector<std::pair<Group, std::vector<int>>> groupedIndices(const std::vector<Group>& groups) {
    std::vector<std::pair<Group, std::vector<int>>> sections;
    for (const Group group : kGroupOrder) {
        std::vector<int> indices;
        for (int index = 0; index < static_cast<int>(groups.size()); ++index)
            if (groups[index] == group) indices.push_back(index);
        if (!indices.empty()) sections.emplace_back(group, std::move(indices));
    }
    return sections;
}

// --- Removable application ---

RemovableAppPanel::RemovableAppPanel(const InstalledApp& app, std::optional<LeftoverAttribution> attribution,
                                     PanelServices services, QWidget* parent)
    : QWidget(parent), app_(app), attribution_(std::move(attribution)), services_(services) {
    auto* layout = column(this, 0, 0);
    layout->addWidget(new DetailHeader(app_, services_.icons, this));
    layout->addWidget(makeDivider(this));

    auto* loading = new QWidget(this);
    auto* loadingColumn = column(loading, 15, 8);
    loadingColumn->addStretch(1);
    loadingColumn->addWidget(new ProgressIndicator(ProgressIndicator::Look::arc(18), loading), 0,
                             Qt::AlignHCenter);
    auto* loadingText = makeLabel(qs(texts::kFindingLeftovers), 12, QFont::Normal, Ink::secondary, loading);
    loadingText->setWordWrap(true);
    loadingText->setAlignment(Qt::AlignHCenter);
    loadingColumn->addWidget(loadingText);
    loadingColumn->addStretch(1);

    auto* content = new QWidget(this);
    auto* contentColumn = column(content, 0, 0);
    contentColumn->addWidget(totalsStrip(content, total_, count_, places_, true));
    contentColumn->addWidget(makeDivider(content));
    list_ = new TickList(content);
    contentColumn->addWidget(list_, 1);
    contentColumn->addWidget(makeDivider(content));
    auto* actions = new QWidget(content);
    auto* actionColumn = column(actions, 15, 10);
    actionColumn->addLayout(noteAndBytesLine(actions, removing_, selected_));
    uninstall_ = makeWideButton(qs(texts::uninstallButton(app_.name)), "trash", true, actions);
    actionColumn->addWidget(uninstall_);
    cache_ = makeWideButton({}, "sparkles", false, actions);
    cache_->setToolTip(qs(texts::kCacheHelp));
    actionColumn->addWidget(cache_);
    contentColumn->addWidget(actions);

    auto* holder = new QWidget(this);
    pages_ = new QStackedLayout(holder);
    pages_->addWidget(loading);
    pages_->addWidget(content);
    layout->addWidget(holder, 1);

    connect(uninstall_, &QPushButton::clicked, this, &RemovableAppPanel::presentUninstall);
    connect(cache_, &QPushButton::clicked, this, &RemovableAppPanel::presentCacheClearing);
    connect(list_, &TickList::toggled, this, [this](int section, int row) {
        if (!attribution_) return;
        std::vector<Group> groups;
        for (const LeftoverItem& item : attribution_->items)
            groups.push_back(item.group);
        const auto sections = groupedIndices(groups);
        if (section < 0 || section >= static_cast<int>(sections.size())) return;
        const auto& indices = sections[section].second;
        if (row < 0 || row >= static_cast<int>(indices.size())) return;
        toggle(attribution_->items[indices[row]].path);
    });
    refresh();
}

void RemovableAppPanel::setAttribution(std::optional<LeftoverAttribution> attribution) {
    if (attribution == attribution_) return;
    attribution_ = std::move(attribution);
    refresh();
}

bool RemovableAppPanel::isLoading() const {
    return !attribution_.has_value();
}

void RemovableAppPanel::toggle(const std::string& itemPath) {
    if (!attribution_) return;
    for (const LeftoverItem& item : attribution_->items)
        if (item.path == itemPath) {
            toggleTick(item, overrides_);
            break;
        }
    refresh();
}

ReclaimTarget::AppUninstall RemovableAppPanel::uninstallTarget() const {
    return ReclaimTarget::AppUninstall{app_, attribution_.value_or(LeftoverAttribution{app_, {}, 0}),
                                       attribution_ ? uninstallPaths(*attribution_, overrides_)
                                                    : std::set<std::string>{}};
}

ReclaimTarget::AppCaches RemovableAppPanel::cacheTarget() const {
    return ReclaimTarget::AppCaches{app_,
                                    attribution_ ? cacheItems(*attribution_) : std::vector<LeftoverItem>{}};
}

QString RemovableAppPanel::summaryCountText() const {
    return count_->text();
}
QString RemovableAppPanel::placeCountText() const {
    return places_->text();
}
QString RemovableAppPanel::removingText() const {
    return removing_->text();
}
QString RemovableAppPanel::selectedBytesText() const {
    return selected_->text();
}

void RemovableAppPanel::refresh() {
    pages_->setCurrentIndex(attribution_ ? 1 : 0);
    if (!attribution_) return;
    const LeftoverAttribution& a = *attribution_;
    total_->setText(bytesText(totalBytes(a)));
    count_->setText(qs(texts::itemCount(static_cast<int64_t>(a.items.size()))));
    places_->setText(qs(texts::placeCount(distinctFolderCount(a))));
    removing_->setText(qs(texts::removingCount(static_cast<int64_t>(tickedItems(a, overrides_).size()),
                                               static_cast<int64_t>(a.items.size()))));
    selected_->setText(bytesText(selectedBytes(a, overrides_)));
    const auto caches = cacheItems(a);
    cache_->setVisible(!caches.empty());
    cache_->setText(qs(texts::clearCachesButton(cacheBytes(a))));

    std::vector<Group> groups;
    for (const LeftoverItem& item : a.items)
        groups.push_back(item.group);
    std::vector<TickList::Section> sections;
    for (const auto& [group, indices] : groupedIndices(groups)) {
        TickList::Section section{qs(LeftoverItem::rawValue(group)), {}};
        for (const int index : indices) {
            const LeftoverItem& item = a.items[index];
            const bool shared = item.sharedWithAppName.has_value();
            section.rows.push_back(TickList::Row{
                qs(item.name),
                shared ? qs(texts::sharedLocation(*item.sharedWithAppName)) : locationLine(item.path), shared,
                bytesText(item.allocatedSize), isTicked(item, overrides_)});
        }
        sections.push_back(std::move(section));
    }
    list_->setSections(std::move(sections));
}

void RemovableAppPanel::presentUninstall() {
    if (!attribution_) return;
    QPointer<RemovableAppPanel> self(this);
    services_.presenter.present(window(), ReclaimTarget{uninstallTarget()},
                                [self](const Reclaimer::Outcome& outcome) {
                                    if (self) self->finishReclaim(outcome);
                                });
}

void RemovableAppPanel::presentCacheClearing() {
    if (!attribution_ || cacheItems(*attribution_).empty()) return;
    QPointer<RemovableAppPanel> self(this);
    services_.presenter.present(window(), ReclaimTarget{cacheTarget()},
                                [self](const Reclaimer::Outcome& outcome) {
                                    if (self) self->finishReclaim(outcome);
                                });
}

void RemovableAppPanel::finishReclaim(const Reclaimer::Outcome& outcome) {
    std::vector<std::string> removed;
    for (const FileNode& node : outcome.succeeded)
        removed.push_back(node.path());
    if (removedBundle(removed, app_, attribution_)) {
        services_.state.applyAppRemoval(app_.path);
        return;
    }
    // Whatever went without the bundle leaves the stored attribution, so the panel, the row
    // and the totals stop counting it.
    services_.state.applyItemRemoval(app_.path, std::set<std::string>(removed.begin(), removed.end()));
}

// --- Protected application ---

ProtectedAppPanel::ProtectedAppPanel(const InstalledApp& app, PanelServices services, QWidget* parent)
    : QWidget(parent), app_(app), services_(services) {
    auto* layout = column(this, 0, 0);
    layout->addWidget(new DetailHeader(app_, services_.icons, this));
    layout->addWidget(makeDivider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* body = new QWidget(scroll);
    body->setAutoFillBackground(false);
    auto* bodyColumn = column(body, 15, 15);
    bodyColumn->addWidget(makeLabel(bytesText(app_.allocatedSize), 26, QFont::Bold, Ink::primary, body));
    const QString callout = "<b>" + qs(texts::kProtectedCalloutBold).toHtmlEscaped() + "</b>" +
                            qs(texts::kProtectedCalloutRest).toHtmlEscaped();
    bodyColumn->addWidget(new Callout("lock.fill", true, callout, body));
    auto* facts = new QVBoxLayout;
    facts->setSpacing(0);
    for (const std::string_view label : {texts::kBundle, texts::kCachesAndContainers, texts::kWebsiteData}) {
        auto* row = new QWidget(body);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 6, 0, 6);
        line->addWidget(makeLabel(qs(label), 12, QFont::Normal, Ink::secondary, row));
        line->addStretch(1);
        auto* value = makeLabel({}, 12, QFont::DemiBold, Ink::primary, row);
        line->addWidget(value);
        factValues_.push_back(value);
        facts->addWidget(row);
        facts->addWidget(makeDivider(body));
    }
    bodyColumn->addLayout(facts);
    bodyColumn->addStretch(1);
    scroll->setWidget(body);
    layout->addWidget(scroll, 1);
    layout->addWidget(makeDivider(this));

    auto* buttons = new QWidget(this);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(15, 15, 15, 15);
    buttonRow->setSpacing(8);
    showCaches_ = makeWideButton(qs(texts::kShowCaches), "questionmark.folder", false, buttons);
    reveal_ = makeWideButton(qs(texts::kReveal), "folder", false, buttons);
    buttonRow->addWidget(showCaches_);
    buttonRow->addWidget(reveal_);
    layout->addWidget(buttons);

    connect(showCaches_, &QPushButton::clicked, this, [this] {
        const auto paths = leftoverPaths(attribution_);
        if (!paths.empty() && services_.reveal) services_.reveal(paths);
    });
    connect(reveal_, &QPushButton::clicked, this, [this] {
        if (services_.reveal) services_.reveal({app_.path});
    });
    refresh();
    // The run cannot be stopped; a panel that has gone by the time it ends takes nothing.
    services_.state.attributeApart(
        app_, this, [this](LeftoverAttribution attribution) { setAttribution(std::move(attribution)); });
}

void ProtectedAppPanel::setAttribution(std::optional<LeftoverAttribution> attribution) {
    attribution_ = std::move(attribution);
    refresh();
}

QString ProtectedAppPanel::factValue(int row) const {
    return factValues_.at(static_cast<size_t>(row))->text();
}

void ProtectedAppPanel::refresh() {
    factValues_[0]->setText(bytesText(app_.allocatedSize));
    factValues_[1]->setText(bytesText(cachesAndContainersBytes(attribution_)));
    factValues_[2]->setText(bytesText(websiteDataBytes(attribution_)));
    showCaches_->setEnabled(!leftoverPaths(attribution_).empty());
}

// --- Orphan group ---

OrphanPanel::OrphanPanel(const OrphanLeftoverGroup& group, PanelServices services, QWidget* parent)
    : QWidget(parent), group_(group), services_(services) {
    auto* layout = column(this, 0, 0);
    layout->addWidget(new OrphanHeader(group_, notInstalled_, this));
    layout->addWidget(makeDivider(this));
    QLabel* total = nullptr;
    layout->addWidget(totalsStrip(this, total, selected_, readiness_, true));
    total->setText(bytesText(group_.totalBytes()));
    layout->addWidget(makeDivider(this));
    auto* noticeHolder = new QWidget(this);
    auto* noticeMargins = column(noticeHolder, 0, 0);
    noticeMargins->setContentsMargins(15, 12, 15, 0);
    const QString notice =
        "<b>" + qs(texts::kGuessBold).toHtmlEscaped() + "</b>" + qs(texts::kGuessMatch).toHtmlEscaped() +
        "<b>" + qs(group_.evidence).toHtmlEscaped() + "</b>" + qs(texts::kGuessTail).toHtmlEscaped();
    noticeMargins->addWidget(new Callout("exclamationmark.triangle.fill", false, notice, noticeHolder));
    layout->addWidget(noticeHolder);
    list_ = new TickList(this);
    layout->addWidget(list_, 1);
    layout->addWidget(makeDivider(this));
    auto* footer = new QWidget(this);
    auto* footerColumn = column(footer, 15, 10);
    footerColumn->addLayout(noteAndBytesLine(footer, footer_, tickedBytes_));
    delete_ = makeWideButton(qs(texts::kDeleteSelected), "trash", true, footer);
    footerColumn->addWidget(delete_);
    layout->addWidget(footer);

    connect(delete_, &QPushButton::clicked, this, &OrphanPanel::presentDeletion);
    connect(list_, &TickList::toggled, this, [this](int section, int row) {
        std::vector<Group> groups;
        for (const OrphanEntry& entry : group_.entries)
            groups.push_back(entry.group);
        const auto sections = groupedIndices(groups);
        if (section < 0 || section >= static_cast<int>(sections.size())) return;
        const auto& indices = sections[section].second;
        if (row < 0 || row >= static_cast<int>(indices.size())) return;
        toggle(group_.entries[indices[row]].path);
    });
    refresh();
}

void OrphanPanel::toggle(const std::string& entryPath) {
    // An entry nobody has ticked reads as unticked, so a first toggle ticks it.
    overrides_[entryPath] = !overrides_[entryPath];
    refresh();
}

ReclaimTarget::OrphanGroup OrphanPanel::target() const {
    return ReclaimTarget::OrphanGroup{group_, tickedPaths(group_, overrides_)};
}

QString OrphanPanel::notInstalledText() const {
    return notInstalled_->text();
}
QString OrphanPanel::selectedText() const {
    return selected_->text();
}
QString OrphanPanel::readinessText() const {
    return readiness_->text();
}
QString OrphanPanel::footerText() const {
    return footer_->text();
}
QString OrphanPanel::tickedBytesText() const {
    return tickedBytes_->text();
}

void OrphanPanel::refresh() {
    const int64_t ticked = static_cast<int64_t>(tickedEntries(group_, overrides_).size());
    selected_->setText(qs(texts::selectedCount(ticked)));
    readiness_->setText(qs(ticked > 0 ? texts::kReadyToDelete : texts::kNothingTicked));
    footer_->setText(ticked == 0 ? qs(texts::kNothingSelected) : qs(texts::selectedCount(ticked)));
    tickedBytes_->setText(bytesText(tickedBytes(group_, overrides_)));
    delete_->setEnabled(ticked > 0);

    std::vector<Group> groups;
    for (const OrphanEntry& entry : group_.entries)
        groups.push_back(entry.group);
    std::vector<TickList::Section> sections;
    for (const auto& [group, indices] : groupedIndices(groups)) {
        TickList::Section section{qs(LeftoverItem::rawValue(group)), {}};
        for (const int index : indices) {
            const OrphanEntry& entry = group_.entries[index];
            section.rows.push_back(TickList::Row{qs(entry.name), locationLine(entry.path), false,
                                                 bytesText(entry.allocatedSize),
                                                 isTicked(entry, overrides_)});
        }
        sections.push_back(std::move(section));
    }
    list_->setSections(std::move(sections));
}

void OrphanPanel::presentDeletion() {
    ReclaimTarget::OrphanGroup target = this->target();
    if (target.tickedPaths.empty()) return;
    QPointer<ApplicationsState> state(&services_.state);
    services_.presenter.present(window(), ReclaimTarget{std::move(target)},
                                [state](const Reclaimer::Outcome& outcome) {
                                    std::set<std::string> removed;
                                    for (const FileNode& node : outcome.succeeded)
                                        removed.insert(node.path());
                                    if (state) state->applyOrphanRemoval(removed);
                                });
}

} // namespace quillmere
