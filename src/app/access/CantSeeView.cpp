#include "app/access/CantSeeView.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/FigureLabel.hpp"
#include "app/access/PrivilegedScanSection.hpp"
#include "app/access/SymbolLabel.hpp"
#include "base/Format.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quillmere {
namespace {

// The colour each label takes from the palette, applied anew when the appearance changes.
enum class Tone { ink, ink2, accent };

void tone(QWidget* widget, Tone value) {
    widget->setProperty("tone", static_cast<int>(value));
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName("divider");
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    return line;
}

QWidget* locationRow(const AccessAuditLocation& location, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName("CantSeeLocationRow");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 12, 20, 12);
    layout->setSpacing(12);
    QLabel* symbol = makeSymbolLabel("folder.badge.questionmark", QColor(), 13, 16, row);
    tone(symbol, Tone::ink2);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    QLabel* label = makeTextLabel(QString::fromStdString(location.label), 12.8, QFont::DemiBold, row);
    label->setObjectName("label");
    tone(label, Tone::ink);
    QLabel* count =
        makeTextLabel(accessTexts::deniedCountLine(location.deniedPathCount), 11.5, QFont::Normal, row);
    count->setObjectName("count");
    tone(count, Tone::ink2);
    texts->addWidget(label);
    texts->addWidget(count);
    layout->addLayout(texts);
    layout->addStretch(1);
    layout->addSpacing(8);
    QLabel* amount = new FigureLabel(
        QString::fromStdString(formatByteCount(std::max<int64_t>(location.estimatedBytes, 0))), 13,
        QFont::DemiBold, row);
    amount->setObjectName("amount");
    tone(amount, Tone::accent);
    layout->addWidget(amount, 0, Qt::AlignTop);
    return row;
}

} // namespace

CantSeeView::CantSeeView(std::optional<AccessAudit> audit, PrivilegedScanController* privilegedScan,
                         UrlOpener opener, QWidget* parent)
    : QWidget(parent) {
    setObjectName("CantSeeView");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    auto* headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(20, 20, 20, 20);
    headerColumn->setSpacing(10);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    QLabel* eye = makeSymbolLabel("eye.slash", QColor(), 15, 20, header);
    tone(eye, Tone::ink);
    titleRow->addWidget(eye);
    QLabel* title = makeTextLabel(accessTexts::kCantSeeTitle, 15, QFont::DemiBold, header);
    title->setObjectName("title");
    tone(title, Tone::ink);
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    headerColumn->addLayout(titleRow);

    const bool hasAmount = audit && audit->deniedBytes >= 1;
    QLabel* summary = makeTextLabel(QString(), 12, QFont::Normal, header);
    summary->setObjectName("summary");
    summary->setWordWrap(true);
    tone(summary, Tone::ink2);
    if (!audit) {
        summary->setText(accessTexts::kWaitingForScan);
    } else if (!hasAmount) {
        summary->setText(accessTexts::kNothingHidden);
    } else {
        summary->setTextFormat(Qt::RichText);
        summary->setText(accessTexts::hiddenAmountRichText(audit->deniedBytes, true));
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
        tone(placeholder, Tone::ink2);
        column->addWidget(placeholder, 1);
    }
    applyColors();
}

void CantSeeView::applyColors() {
    const Theme::Palette& palette = Theme::palette(this);
    const QColor accent = Theme::accent(this);
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->objectName() == "divider") {
            QPalette colors = widget->palette();
            colors.setColor(QPalette::Window, palette.line);
            widget->setPalette(colors);
            continue;
        }
        auto* label = qobject_cast<QLabel*>(widget);
        const QVariant value = widget->property("tone");
        if (!label || !value.isValid()) continue;
        const auto which = static_cast<Tone>(value.toInt());
        setLabelColor(label, which == Tone::ink ? palette.ink : which == Tone::ink2 ? palette.ink2 : accent);
    }
    update();
}

void CantSeeView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyColors();
}

void CantSeeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::palette(this).bg1);
}

} // namespace quillmere
