#include "app/access/CantSeeView.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/PrivilegedScanSection.hpp"
#include "app/access/SymbolLabel.hpp"
#include "app/ui/ScrollBars.hpp"
#include "app/ui/Theme.hpp"
#include "scan/Format.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quillmere {
namespace {

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName("divider");
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Theme::palette(parent).line);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

QWidget* locationRow(const AccessAuditLocation& location, QWidget* parent) {
    const Theme::Palette& palette = Theme::palette(parent);
    auto* row = new QWidget(parent);
    row->setObjectName("CantSeeLocationRow");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 12, 20, 12);
    layout->setSpacing(12);
    layout->addWidget(makeSymbolLabel("folder.badge.questionmark", palette.ink2, 13, 16, row), 0,
                      Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    QLabel* label = makeTextLabel(QString::fromStdString(location.label), 12.8, QFont::DemiBold, row);
    label->setObjectName("label");
    setLabelColor(label, palette.ink);
    QLabel* count =
        makeTextLabel(accessTexts::deniedCountLine(location.deniedPathCount), 11.5, QFont::Normal, row);
    count->setObjectName("count");
    setLabelColor(count, palette.ink2);
    texts->addWidget(label);
    texts->addWidget(count);
    layout->addLayout(texts);
    layout->addStretch(1);
    layout->addSpacing(8);
    QLabel* amount =
        makeTextLabel(QString::fromStdString(formatByteCount(std::max<int64_t>(location.estimatedBytes, 0))),
                      13, QFont::DemiBold, row);
    amount->setObjectName("amount");
    setLabelColor(amount, Theme::accent(parent));
    layout->addWidget(amount, 0, Qt::AlignTop);
    return row;
}

} // namespace

CantSeeView::CantSeeView(std::optional<AccessAudit> audit, PrivilegedScanController* privilegedScan,
                         UrlOpener opener, QWidget* parent)
    : QWidget(parent) {
    setObjectName("CantSeeView");
    const Theme::Palette& palette = Theme::palette(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    auto* headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(20, 20, 20, 20);
    headerColumn->setSpacing(10);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(makeSymbolLabel("eye.slash", palette.ink, 15, 20, header));
    QLabel* title = makeTextLabel(accessTexts::kCantSeeTitle, 15, QFont::DemiBold, header);
    title->setObjectName("title");
    setLabelColor(title, palette.ink);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    headerColumn->addLayout(titleRow);

    const bool hasAmount = audit && audit->unaccountedBytes >= 1;
    QLabel* summary = makeTextLabel(QString(), 12, QFont::Normal, header);
    summary->setObjectName("summary");
    summary->setWordWrap(true);
    setLabelColor(summary, palette.ink2);
    if (!audit) {
        summary->setText(accessTexts::kWaitingForScan);
    } else if (!hasAmount) {
        summary->setText(accessTexts::kNothingHidden);
    } else {
        summary->setTextFormat(Qt::RichText);
        summary->setText(accessTexts::hiddenAmountRichText(audit->unaccountedBytes, true));
    }
    headerColumn->addWidget(summary);
    if (hasAmount && !audit->isFullDiskAccessGranted) {
        auto* grant = new QPushButton(accessTexts::kGrantFullDiskAccess, header);
        grant->setObjectName("grantFullDiskAccess");
        connect(grant, &QPushButton::clicked, this, [opener] {
            if (opener) opener(fullDiskAccessSettingsUrl());
        });
        headerColumn->addWidget(grant, 0, Qt::AlignLeft);
    }
    if (privilegedScan) headerColumn->addWidget(new PrivilegedScanSection(*privilegedScan, header));
    column->addWidget(header);
    column->addWidget(divider(this));

    if (audit && !audit->topDeniedLocations.empty()) {
        auto* scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        auto* list = new QWidget(scroll);
        auto* rows = new QVBoxLayout(list);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(0);
        for (const AccessAuditLocation& location : audit->topDeniedLocations) {
            rows->addWidget(locationRow(location, list));
            rows->addWidget(divider(list));
        }
        rows->addStretch(1);
        scroll->setWidget(list);
        applySlimScrollBar(scroll);
        scroll->viewport()->setAutoFillBackground(false);
        list->setAutoFillBackground(false);
        column->addWidget(scroll, 1);
    } else {
        QLabel* placeholder = makeTextLabel(
            audit ? accessTexts::kNothingHidden : accessTexts::kWaitingForScan, 12, QFont::Normal, this);
        placeholder->setObjectName("placeholder");
        placeholder->setAlignment(Qt::AlignCenter);
        setLabelColor(placeholder, palette.ink2);
        column->addWidget(placeholder, 1);
    }
}

void CantSeeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::palette(this).bg1);
}

} // namespace quillmere
