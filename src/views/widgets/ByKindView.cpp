#include "views/widgets/ByKindView.hpp"

#include "base/Format.hpp"
#include "ui/Animation.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"
#include "views/Easing.hpp"
#include "views/widgets/InsightScreenCommon.hpp"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

namespace quillmere {

using namespace insight_screen;

namespace {

// A single line painted at a fractional size, trailing-aligned, with equal-width digits.
class FigureLine : public QWidget {
public:
    FigureLine(qreal size, QFont::Weight weight, TextRole role, QWidget* parent)
        : QWidget(parent), style_{size, weight, {}, 0, true}, role_(role) {
        setFixedHeight(
            static_cast<int>(std::ceil(reference_text::measure(QStringLiteral("0"), size, weight).height())));
    }
    void setText(const QString& text) {
        text_ = text;
        update();
    }
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        reference_text::Style style = style_;
        style.color = StyleColors::of(this).text(role_);
        const qreal w = reference_text::width(text_, style);
        reference_text::drawAt(painter, {width() - w, 0}, text_, style);
    }

private:
    reference_text::Style style_;
    TextRole role_;
    QString text_;
};

class BarWidget : public QWidget {
public:
    BarWidget(qreal width, QWidget* parent) : QWidget(parent) {
        setFixedSize(static_cast<int>(width), static_cast<int>(insight_bar::kHeight));
    }
    void setFraction(double fraction) {
        fraction_ = fraction;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        insight_bar::paint(painter, QRectF(rect()), fraction_, Theme::isDark(this));
    }

private:
    double fraction_ = 0;
};

class Chevron : public QWidget {
public:
    explicit Chevron(const KindRow* row, QWidget* parent) : QWidget(parent), row_(row) { setFixedWidth(10); }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!row_->isExpandable()) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF center(width() / 2.0, height() / 2.0);
        painter.translate(center);
        painter.rotate(row_->chevronAngle());
        const qreal side = Symbols::boxSide(10);
        Symbols::draw(painter, QRectF(-side / 2, -side / 2, side, side), QStringLiteral("chevron.right"),
                      StyleColors::of(this).tertiary, 10);
    }

private:
    const KindRow* row_;
};

} // namespace

KindRow::KindRow(const DiskInsights::KindBucket& bucket, const InsightActions& actions, QWidget* parent)
    : QWidget(parent), bucket_(bucket), actions_(actions) {
    setAttribute(Qt::WA_Hover);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(12);
    auto* tile = new IconTile(IconTile::fileKind(bucket.kind), 30, this);
    tile->setReservesShadowRoom(false);
    icon_ = tile;
    row->addWidget(tile, 0, Qt::AlignVCenter);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    title_ =
        new InsightLabel(qt(std::string(title(bucket.kind))), 13, QFont::DemiBold, TextRole::primary, this);
    description_ = new InsightLabel(qt(std::string(explanation(bucket.kind))), 11, QFont::Normal,
                                    TextRole::secondary, this);
    description_->setWordWrap(true);
    column->addWidget(title_);
    column->addWidget(description_);
    row->addLayout(column, 1);
    row->addSpacing(12);

    figures_ = new QWidget(this);
    figures_->setFixedWidth(140);
    auto* figures = new QVBoxLayout(figures_);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setSpacing(5);
    auto* size = new FigureLine(13.5, QFont::DemiBold, TextRole::primary, figures_);
    size->setObjectName(QStringLiteral("size"));
    auto* bar = new BarWidget(110, figures_);
    bar->setObjectName(QStringLiteral("bar"));
    auto* count = new FigureLine(10.5, QFont::Normal, TextRole::tertiary, figures_);
    count->setObjectName(QStringLiteral("count"));
    figures->addWidget(size);
    figures->addWidget(bar, 0, Qt::AlignRight);
    figures->addWidget(count);
    row->addWidget(figures_, 0, Qt::AlignVCenter);
    row->addWidget(new Chevron(this, this));
    refreshInteraction();
}

bool KindRow::isExpandable() const {
    return views::insight::isExpandable(bucket_);
}

QString KindRow::sizeText() const {
    return qt(formatByteCount(std::max<int64_t>(bucket_.bytes, 0)));
}

QRectF KindRow::barRect() const {
    const auto* bar = figures_->findChild<QWidget*>(QStringLiteral("bar"));
    return QRectF(bar->mapTo(this, QPoint(0, 0)), bar->size());
}

void KindRow::setBucket(const DiskInsights::KindBucket& bucket, int64_t maxBytes, int64_t totalBytes) {
    bucket_ = bucket;
    fraction_ = views::insight::barFraction(bucket.bytes, maxBytes);
    countLine_ = qt(texts::kindCountLine(bucket.kind, bucket.itemCount, bucket.bytes, totalBytes));
    static_cast<FigureLine*>(figures_->findChild<QWidget*>(QStringLiteral("size")))->setText(sizeText());
    static_cast<BarWidget*>(figures_->findChild<QWidget*>(QStringLiteral("bar")))->setFraction(fraction_);
    static_cast<FigureLine*>(figures_->findChild<QWidget*>(QStringLiteral("count")))->setText(countLine_);
    setAccessibleName(qt(std::string(title(bucket.kind))) + QStringLiteral(", ") + sizeText() +
                      QStringLiteral(", ") + countLine_);
    refreshInteraction();
}

void KindRow::refreshInteraction() {
    const bool expandable = isExpandable();
    setToolTip(qt(texts::kindTooltip(bucket_.kind, expandable)));
    // The pointing hand only where a click does something.
    if (expandable)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    update();
}

void KindRow::setExpanded(bool expanded, bool animated) {
    if (expanded_ == expanded) return;
    expanded_ = expanded;
    const double target = expanded ? 90 : 0;
    if (turn_) turn_->stop();
    const bool still = actions_.prefersReducedMotion && actions_.prefersReducedMotion();
    if (!animated || still) {
        angle_ = target;
        update();
        return;
    }
    turn_ = startAnimation(this, angle_, target, views::kNavigationAnimationMs, QEasingCurve::InOutQuad,
                           [this](const QVariant& value) {
                               angle_ = value.toDouble();
                               update();
                           });
}

void KindRow::paintEvent(QPaintEvent*) {
    if (!(hovered_ && isExpandable())) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = StyleColors::of(this).primary;
    fill.setAlphaF(0.05f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(painting::continuousRoundedRect(QRectF(rect()), 10));
}

void KindRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isExpandable() &&
        onToggle)
        onToggle();
}

void KindRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    hovered_ = true;
    update();
}

void KindRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hovered_ = false;
    update();
}

ByKindView::ByKindView(InsightInputs inputs, InsightActions actions, QWidget* parent)
    : InsightScreen(parent), inputs_(std::move(inputs)), actions_(std::move(actions)),
      compute_([](const FileNode& folder, const std::atomic<bool>* cancelled) {
          return views::insight::kindBreakdown(folder, cancelled);
      }),
      loading_(new InsightLoadingState), empty_(new InsightEmptyState), rowsHost_(new QWidget),
      footnote_(new InsightFootnote(texts::sharedFootnote())),
      task_([this](DiskInsights::KindBreakdown breakdown) { store(std::move(breakdown)); }) {
    auto* rows = new QVBoxLayout(rowsHost_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(3);
    contentLayout()->addWidget(loading_);
    contentLayout()->addWidget(empty_);
    contentLayout()->addWidget(rowsHost_);
    contentLayout()->addWidget(footnote_);
    showState();
    setInputs(inputs_);
}

void ByKindView::setComputation(Computation compute) {
    compute_ = std::move(compute);
}

void ByKindView::setInputs(InsightInputs inputs) {
    inputs_ = std::move(inputs);
    setHeader(texts::kindsTitle(), texts::kindsSubtitle(inputs_.folderName), inputs_.isFromSavedScan);
    empty_->setText(texts::kindsEmpty(inputs_.folderName));
    for (const auto& entry : entries_)
        if (entry.list) entry.list->setSelectedPath(inputs_.selectedPath);
    task_.request(InsightTaskKey::of(inputs_.root),
                  [folder = inputs_.root, compute = compute_](const std::atomic<bool>* cancelled) {
                      return compute(folder, cancelled);
                  });
}

std::vector<KindRow*> ByKindView::rows() const {
    std::vector<KindRow*> rows;
    for (const auto& entry : entries_)
        rows.push_back(entry.row);
    return rows;
}

InsightItemList* ByKindView::expandedList(FileKind kind) const {
    for (const auto& entry : entries_)
        if (entry.row->kind() == kind && entry.holder && !entry.holder->isHidden()) return entry.list;
    return nullptr;
}

void ByKindView::toggle(FileKind kind) {
    expanded_ = views::insight::toggled(std::move(expanded_), kind);
    const bool open = std::find(expanded_.begin(), expanded_.end(), kind) != expanded_.end();
    for (auto& entry : entries_) {
        if (entry.row->kind() != kind) continue;
        entry.row->setExpanded(open, true);
        if (open) ensureList(entry);
        if (entry.holder) entry.holder->setVisible(open);
    }
}

void ByKindView::ensureList(Entry& entry) {
    const auto& items = entry.row->bucket().largestItems;
    if (entry.holder || items.empty()) return;
    auto* layout = static_cast<QVBoxLayout*>(rowsHost_->layout());
    entry.holder = new QWidget(rowsHost_);
    auto* indent = new QVBoxLayout(entry.holder);
    indent->setContentsMargins(42, 0, 0, 6);
    entry.list = new InsightItemList(actions_, entry.holder);
    entry.list->setItems(items, inputs_.root, inputs_.selectedPath);
    indent->addWidget(entry.list);
    layout->insertWidget(layout->indexOf(entry.row) + 1, entry.holder);
    // Shown now: a layout shows a new child of a visible parent only later.
    entry.holder->show();
}

void ByKindView::store(DiskInsights::KindBreakdown breakdown) {
    breakdown_ = std::move(breakdown);
    rebuild();
    showState();
}

void ByKindView::rebuild() {
    for (auto& entry : entries_) {
        delete entry.row;
        delete entry.holder;
    }
    entries_.clear();
    auto* layout = static_cast<QVBoxLayout*>(rowsHost_->layout());
    const int64_t maxBytes = breakdown_->buckets.empty() ? 0 : breakdown_->buckets.front().bytes;
    for (const auto& bucket : breakdown_->buckets) {
        Entry entry;
        entry.row = new KindRow(bucket, actions_, rowsHost_);
        entry.row->setBucket(bucket, maxBytes, breakdown_->totalBytes);
        const FileKind kind = bucket.kind;
        entry.row->onToggle = [this, kind] { toggle(kind); };
        const bool open = std::find(expanded_.begin(), expanded_.end(), kind) != expanded_.end();
        entry.row->setExpanded(open, false);
        layout->addWidget(entry.row);
        // Lists are built when first shown: most kinds are never opened.
        if (open) ensureList(entry);
        entries_.push_back(entry);
    }
}

void ByKindView::showState() {
    showOne(loading_, empty_, {rowsHost_, footnote_}, !breakdown_ ? 0 : breakdown_->buckets.empty() ? 1 : 2);
}

} // namespace quillmere
