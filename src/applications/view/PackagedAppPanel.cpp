#include "applications/view/PackagedAppPanel.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/DetailPanelWidgets.hpp"
#include "applications/view/ViewText.hpp"
#include "ui/ProgressIndicator.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace quillmere {
namespace {

using Group = LeftoverItem::Group;

QVBoxLayout* column(QWidget* owner, int margin, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    return layout;
}

QString calloutHtml(const InstalledApp& app) {
    const std::string_view bold =
        app.packaging == InstalledApp::Packaging::snap ? texts::kSnapCalloutBold : texts::kFlatpakCalloutBold;
    // The command in a typewriter face, so that it reads as something to type.
    return "<b>" + qs(bold).toHtmlEscaped() + "</b>" +
           qs(texts::kPackagedCalloutBeforeCommand).toHtmlEscaped() +
           "<span style=\"font-family: monospace;\">" + qs(texts::removalCommand(app)).toHtmlEscaped() +
           "</span>" + qs(texts::kPackagedCalloutAfterCommand).toHtmlEscaped();
}

// A centred line of text (and a spinner while loading) where the list would be.
QWidget* centredNote(QWidget* parent, std::string_view text, bool spinning) {
    auto* page = new QWidget(parent);
    auto* layout = column(page, 15, 8);
    layout->addStretch(1);
    if (spinning)
        layout->addWidget(new ProgressIndicator(ProgressIndicator::Look::arc(18), page), 0, Qt::AlignHCenter);
    auto* label = makeLabel(qs(text), 12, QFont::Normal, Ink::secondary, page);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    layout->addStretch(1);
    return page;
}

} // namespace

PackagedAppPanel::PackagedAppPanel(const InstalledApp& app, std::optional<LeftoverAttribution> attribution,
                                   PanelServices services, QWidget* parent)
    : QWidget(parent), app_(app), attribution_(std::move(attribution)), services_(services) {
    auto* layout = column(this, 0, 0);
    layout->addWidget(new DetailHeader(app_, services_.icons, this));
    layout->addWidget(makeDivider(this));

    auto* top = new QWidget(this);
    auto* topColumn = column(top, 15, 15);
    topColumn->addWidget(makeLabel(bytesText(app_.allocatedSize), 26, QFont::Bold, Ink::primary, top));
    callout_ = new Callout("lock.fill", true, calloutHtml(app_), top);
    topColumn->addWidget(callout_);
    layout->addWidget(top);
    layout->addWidget(makeDivider(this));

    auto* holder = new QWidget(this);
    pages_ = new QStackedLayout(holder);
    pages_->addWidget(centredNote(holder, texts::kFindingLeftovers, true));
    pages_->addWidget(centredNote(holder, texts::kNothingToClear, false));
    list_ = new TickList(holder);
    pages_->addWidget(list_);
    layout->addWidget(holder, 1);
    layout->addWidget(makeDivider(this));

    auto* footer = new QWidget(this);
    auto* footerColumn = column(footer, 15, 10);
    auto* line = new QHBoxLayout;
    footer_ = makeLabel({}, 12, QFont::Normal, Ink::secondary, footer);
    tickedBytes_ = makeLabel({}, 13, QFont::DemiBold, Ink::primary, footer);
    line->addWidget(footer_, 0, Qt::AlignBottom);
    line->addStretch(1);
    line->addWidget(tickedBytes_, 0, Qt::AlignBottom);
    footerColumn->addLayout(line);
    delete_ = makeWideButton(qs(texts::kDeleteSelected), "trash", true, footer);
    footerColumn->addWidget(delete_);
    cache_ = makeWideButton({}, "sparkles", false, footer);
    cache_->setToolTip(qs(texts::kCacheHelp));
    footerColumn->addWidget(cache_);
    layout->addWidget(footer);

    connect(delete_, &QPushButton::clicked, this, &PackagedAppPanel::presentClearing);
    connect(cache_, &QPushButton::clicked, this, &PackagedAppPanel::presentCacheClearing);
    connect(list_, &TickList::toggled, this, [this](int section, int row) {
        if (!attribution_) return;
        const std::vector<LeftoverItem> items = clearableItems(*attribution_);
        std::vector<Group> groups;
        for (const LeftoverItem& item : items)
            groups.push_back(item.group);
        const auto sections = groupedIndices(groups);
        if (section < 0 || section >= static_cast<int>(sections.size())) return;
        const auto& indices = sections[section].second;
        if (row < 0 || row >= static_cast<int>(indices.size())) return;
        toggle(items[indices[row]].path);
    });
    refresh();
}

void PackagedAppPanel::setAttribution(std::optional<LeftoverAttribution> attribution) {
    if (attribution == attribution_) return;
    attribution_ = std::move(attribution);
    refresh();
}

void PackagedAppPanel::toggle(const std::string& itemPath) {
    if (!attribution_) return;
    for (const LeftoverItem& item : clearableItems(*attribution_))
        if (item.path == itemPath) {
            toggleClearingTick(item, overrides_);
            break;
        }
    refresh();
}

ReclaimTarget::AppItems PackagedAppPanel::clearingTarget() const {
    return ReclaimTarget::AppItems{app_, attribution_ ? tickedClearableItems(*attribution_, overrides_)
                                                      : std::vector<LeftoverItem>{}};
}

ReclaimTarget::AppCaches PackagedAppPanel::cacheTarget() const {
    return ReclaimTarget::AppCaches{app_,
                                    attribution_ ? cacheItems(*attribution_) : std::vector<LeftoverItem>{}};
}

QString PackagedAppPanel::calloutText() const {
    return callout_->label()->text();
}
QString PackagedAppPanel::footerText() const {
    return footer_->text();
}
QString PackagedAppPanel::tickedBytesText() const {
    return tickedBytes_->text();
}
bool PackagedAppPanel::showsNothingToClear() const {
    return pages_->currentIndex() == 1;
}

void PackagedAppPanel::refresh() {
    const std::vector<LeftoverItem> items =
        attribution_ ? clearableItems(*attribution_) : std::vector<LeftoverItem>{};
    pages_->setCurrentIndex(!attribution_ ? 0 : items.empty() ? 1 : 2);
    const int64_t ticked =
        attribution_ ? static_cast<int64_t>(tickedClearableItems(*attribution_, overrides_).size()) : 0;
    footer_->setText(ticked == 0 ? qs(texts::kNothingSelected) : qs(texts::selectedCount(ticked)));
    tickedBytes_->setText(bytesText(attribution_ ? tickedClearableBytes(*attribution_, overrides_) : 0));
    delete_->setEnabled(ticked > 0);
    const bool hasCaches = attribution_ && !cacheItems(*attribution_).empty();
    cache_->setVisible(hasCaches);
    if (hasCaches) cache_->setText(qs(texts::clearCachesButton(cacheBytes(*attribution_))));

    std::vector<Group> groups;
    for (const LeftoverItem& item : items)
        groups.push_back(item.group);
    std::vector<TickList::Section> sections;
    for (const auto& [group, indices] : groupedIndices(groups)) {
        TickList::Section section{qs(LeftoverItem::rawValue(group)), {}};
        for (const int index : indices) {
            const LeftoverItem& item = items[index];
            const bool shared = item.sharedWithAppName.has_value();
            section.rows.push_back(TickList::Row{
                qs(item.name),
                shared ? qs(texts::sharedLocation(*item.sharedWithAppName)) : locationLine(item.path), shared,
                bytesText(item.allocatedSize), isTickedForClearing(item, overrides_)});
        }
        sections.push_back(std::move(section));
    }
    list_->setSections(std::move(sections));
}

void PackagedAppPanel::presentClearing() {
    ReclaimTarget::AppItems target = clearingTarget();
    if (target.items.empty()) return;
    QPointer<PackagedAppPanel> self(this);
    services_.presenter.present(window(), ReclaimTarget{std::move(target)},
                                [self](const Reclaimer::Outcome& outcome) {
                                    if (self) self->finishReclaim(outcome);
                                });
}

void PackagedAppPanel::presentCacheClearing() {
    if (!attribution_ || cacheItems(*attribution_).empty()) return;
    QPointer<PackagedAppPanel> self(this);
    services_.presenter.present(window(), ReclaimTarget{cacheTarget()},
                                [self](const Reclaimer::Outcome& outcome) {
                                    if (self) self->finishReclaim(outcome);
                                });
}

void PackagedAppPanel::finishReclaim(const Reclaimer::Outcome& outcome) {
    std::set<std::string> removed;
    for (const FileNode& node : outcome.succeeded)
        removed.insert(node.path());
    // What went leaves the stored attribution, so the panel, the row and the totals stop
    // counting it; the application itself stays listed.
    services_.state.applyItemRemoval(app_.path, removed);
}

} // namespace quillmere
