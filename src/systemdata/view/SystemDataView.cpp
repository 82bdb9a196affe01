#include "systemdata/view/SystemDataView.hpp"

#include "base/Format.hpp"
#include "systemdata/view/SystemDataButton.hpp"
#include "systemdata/view/SystemDataRingView.hpp"
#include "systemdata/view/SystemDataRowView.hpp"
#include "systemdata/view/SystemDataScreenText.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace quillmere {

namespace text = systemdata_screen_text;

namespace {

constexpr int kLeftPaneWidth = 286;

enum class Tone { primary, secondary };

QLabel* makeLabel(const QString& content, const QFont& font, Tone tone, QWidget* parent, bool wraps = false) {
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    label->setWordWrap(wraps);
    label->setProperty("tone", tone == Tone::secondary ? "secondary" : "primary");
    label->setTextFormat(Qt::PlainText);
    return label;
}

void colorLabel(QLabel* label, const Theme::Palette& palette) {
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText,
                    label->property("tone").toString() == "secondary" ? palette.ink2 : palette.ink);
    label->setPalette(colors);
}

QString formatted(int64_t bytes) {
    return QString::fromStdString(formatByteCount(std::max<int64_t>(bytes, 0)));
}

// A hairline painted in the theme's line colour.
class Divider : public QWidget {
public:
    Divider(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
        if (orientation == Qt::Vertical)
            setFixedWidth(1);
        else
            setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::palette(Theme::isDark(this)).line);
    }
};

} // namespace

SystemDataView::SystemDataView(QWidget* parent)
    : QWidget(parent), leftPane_(new QWidget(this)), rightPane_(new QWidget(this)),
      ring_(new SystemDataRingView(leftPane_)),
      leftTitle_(
          makeLabel(text::leftTitle(), Theme::uiFont(15, QFont::DemiBold), Tone::primary, leftPane_, true)),
      leftParagraph_(makeLabel(text::leftParagraph(), Theme::uiFont(12), Tone::secondary, leftPane_, true)),
      headerTitle_(makeLabel(text::header(), Theme::uiFont(15, QFont::DemiBold), Tone::primary, rightPane_)),
      summary_(makeLabel({}, Theme::uiFont(12), Tone::secondary, rightPane_, true)),
      scroll_(new QScrollArea(rightPane_)), rows_(new QWidget), rowsLayout_(new QVBoxLayout(rows_)),
      footer_(new QLabel(rightPane_)),
      reclaimAll_(new SystemDataButton(text::reclaimAll(), true, rightPane_)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(leftPane_);
    layout->addWidget(new Divider(Qt::Vertical, this));
    layout->addWidget(rightPane_, 1);

    leftPane_->setFixedWidth(kLeftPaneWidth);
    auto* left = new QVBoxLayout(leftPane_);
    left->setContentsMargins(22, 22, 22, 22);
    left->setSpacing(20);
    left->addStretch(1);
    ring_->setFixedSize(190, 190);
    left->addWidget(ring_, 0, Qt::AlignHCenter);
    auto* words = new QVBoxLayout;
    words->setSpacing(8);
    for (QLabel* label : {leftTitle_, leftParagraph_}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // The whole column's width, so a text that wraps is given the height of all its lines.
        label->setFixedWidth(250);
        words->addWidget(label, 0, Qt::AlignHCenter);
    }
    left->addLayout(words);
    left->addStretch(1);

    auto* right = new QVBoxLayout(rightPane_);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 16, 20, 12);
    header->setSpacing(4);
    header->addWidget(headerTitle_);
    header->addWidget(summary_);
    right->addLayout(header);
    right->addWidget(new Divider(Qt::Horizontal, rightPane_));

    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(0);
    scroll_->setWidget(rows_);
    rows_->setAutoFillBackground(false); // the scroll area turns it on; the stage shows through
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->viewport()->setAutoFillBackground(false);
    right->addWidget(scroll_, 1);

    right->addWidget(new Divider(Qt::Horizontal, rightPane_));
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 11, 20, 11);
    footer->addWidget(footer_);
    footer->addStretch(1);
    footer->addWidget(reclaimAll_);
    right->addLayout(footer);
    footer_->setFont(Theme::uiFont(12));
    footer_->setTextFormat(Qt::RichText);
    footer_->setProperty("tone", "secondary");
    connect(reclaimAll_, &QAbstractButton::clicked, this,
            [this] { request(reclaimableCategories(slices_)); });

    setReport({});
}

void SystemDataView::request(std::vector<SystemDataCategory> categories) {
    if (onReclaimRequested_) onReclaimRequested_(categories);
}

void SystemDataView::setReport(const SystemDataReport& report) {
    report_ = report;
    slices_ = systemDataSlices(report_);
    ring_->setContent(slices_, report_.totalBytes(), reclaimableBytes(report_));
    summary_->setText(QString::fromStdString(systemDataSummary(slices_)));
    const int64_t footerTotal = totalSize(reclaimableCategories(slices_));
    footer_->setText("<b>" + formatted(footerTotal).toHtmlEscaped() + "</b>" +
                     text::footerSuffix().toHtmlEscaped());
    reclaimAll_->setEnabled(footerTotal >= 1);
    rebuildRows();
    applyColors();
}

void SystemDataView::rebuildRows() {
    while (QLayoutItem* item = rowsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    rowViews_.clear();
    for (const SystemDataSlice& slice : slices_) {
        auto* row = new SystemDataRowView(slice, rows_);
        const SystemDataCategory category = slice.category;
        connect(row, &SystemDataRowView::reclaimRequested, this, [this, category] { request({category}); });
        rowsLayout_->addWidget(row);
        rowsLayout_->addWidget(new Divider(Qt::Horizontal, rows_));
        rowViews_.push_back(row);
    }
    rowsLayout_->addStretch(1);
}

void SystemDataView::applyColors() {
    const Theme::Palette& palette = Theme::palette(Theme::isDark(this));
    for (QLabel* label : findChildren<QLabel*>())
        colorLabel(label, palette);
    // A slim scroll bar in the theme's ink, always visible beside the rows.
    const auto ink = [&](double alpha) {
        return QString("rgba(%1, %2, %3, %4)")
            .arg(palette.ink.red())
            .arg(palette.ink.green())
            .arg(palette.ink.blue())
            .arg(alpha);
    };
    scroll_->verticalScrollBar()->setStyleSheet(
        QString("QScrollBar:vertical { width: 8px; background: %1; border-radius: 4px; margin: 2px; }"
                "QScrollBar::handle:vertical { background: %2; border-radius: 4px; min-height: 40px; }"
                "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
            .arg(ink(0.06), ink(0.3)));
}

void SystemDataView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyColors();
    QWidget::changeEvent(event);
}

} // namespace quillmere
