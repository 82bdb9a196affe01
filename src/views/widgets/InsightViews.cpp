#include "views/widgets/InsightViews.hpp"

#include "app/ui/IconTile.hpp"
#include "app/ui/Painting.hpp"
#include "app/ui/ReferenceText.hpp"
#include "app/ui/SegmentedPills.hpp"
#include "app/ui/StyleColors.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/Theme.hpp"
#include "scan/Format.hpp"
#include "views/Easing.hpp"
#include "views/InsightTexts.hpp"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

namespace quillmere {
namespace {

using views::TextRole;
using views::insight::InsightTaskKey;
namespace texts = views::insight_texts;

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

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

// Loading, empty, or what the screen lists: exactly one of the three shows.
void showOne(QWidget* loading, QWidget* empty, std::initializer_list<QWidget*> listed, int which) {
    loading->setVisible(which == 0);
    empty->setVisible(which == 1);
    for (QWidget* widget : listed)
        widget->setVisible(which == 2);
}

} // namespace

// ---- Largest items

LargestItemsView::LargestItemsView(InsightInputs inputs, InsightActions actions, QWidget* parent)
    : InsightScreen(parent), inputs_(std::move(inputs)), actions_(std::move(actions)),
      compute_([](const FileNode& folder) { return views::insight::largestItems(folder); }),
      loading_(new InsightLoadingState), empty_(new InsightEmptyState), list_(new InsightItemList(actions_)),
      footnote_(new InsightFootnote(texts::sharedFootnote())),
      task_([this](std::vector<DiskInsights::Item> items) { store(std::move(items)); }) {
    contentLayout()->addWidget(loading_);
    contentLayout()->addWidget(empty_);
    contentLayout()->addWidget(list_);
    contentLayout()->addWidget(footnote_);
    showState();
    setInputs(inputs_);
}

void LargestItemsView::setComputation(
    std::function<std::vector<DiskInsights::Item>(const FileNode&)> compute) {
    compute_ = std::move(compute);
}

void LargestItemsView::setInputs(InsightInputs inputs) {
    inputs_ = std::move(inputs);
    setHeader(texts::largestTitle(), texts::largestSubtitle(inputs_.folderName), inputs_.isFromSavedScan);
    empty_->setText(texts::largestEmpty(inputs_.folderName));
    list_->setSelectedPath(inputs_.selectedPath);
    task_.request(InsightTaskKey::of(inputs_.root),
                  [folder = inputs_.root, compute = compute_] { return compute(folder); });
}

void LargestItemsView::store(std::vector<DiskInsights::Item> items) {
    list_->setItems(items, inputs_.root, inputs_.selectedPath);
    items_ = std::move(items);
    showState();
}

void LargestItemsView::showState() {
    showOne(loading_, empty_, {list_, footnote_}, !items_ ? 0 : items_->empty() ? 1 : 2);
}

// ---- Kinds

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
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(angle_);
    animation->setEndValue(target);
    animation->setDuration(views::kNavigationAnimationMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        angle_ = value.toDouble();
        update();
    });
    turn_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
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
      compute_([](const FileNode& folder) { return views::insight::kindBreakdown(folder); }),
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

void ByKindView::setComputation(std::function<DiskInsights::KindBreakdown(const FileNode&)> compute) {
    compute_ = std::move(compute);
}

void ByKindView::setInputs(InsightInputs inputs) {
    inputs_ = std::move(inputs);
    setHeader(texts::kindsTitle(), texts::kindsSubtitle(inputs_.folderName), inputs_.isFromSavedScan);
    empty_->setText(texts::kindsEmpty(inputs_.folderName));
    for (const auto& entry : entries_)
        if (entry.list) entry.list->setSelectedPath(inputs_.selectedPath);
    task_.request(InsightTaskKey::of(inputs_.root),
                  [folder = inputs_.root, compute = compute_] { return compute(folder); });
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

// ---- Untouched

namespace {
constexpr qreal kStripHeight = 12;
constexpr qreal kLegendSpacing = 14;
constexpr qreal kLegendGap = 5;
constexpr qreal kLegendDot = 7;
constexpr qreal kLegendSize = 11;

// The band's colour, the secondary text colour for a band the theme has none for.
QColor bandColor(DiskInsights::AgeBand band, const StyleColors& colors) {
    const auto& bands = Theme::ageBandColors();
    const auto found = bands.find(band);
    return found == bands.end() ? colors.secondary : found->second;
}
} // namespace

AgeBar::AgeBar(QWidget* parent) : QWidget(parent) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

namespace {
qreal legendLineHeight() {
    return reference_text::measure(QStringLiteral("0"), kLegendSize, QFont::Medium).height();
}
constexpr qreal kLegendLineSpacing = 4;
} // namespace

std::vector<QPointF> AgeBar::legendOrigins(qreal width) const {
    // Entries run left to right and continue on a further line where the width ends, so no
    // band's size is ever cut off.
    std::vector<QPointF> origins;
    qreal x = 0;
    qreal y = kStripHeight + 8;
    for (const auto& segment : segments_) {
        const qreal entry = legendEntryWidth(segment);
        if (x > 0 && x + entry > width) {
            x = 0;
            y += legendLineHeight() + kLegendLineSpacing;
        }
        origins.emplace_back(x, y);
        x += entry + kLegendSpacing;
    }
    return origins;
}

qreal AgeBar::legendEntryWidth(const views::insight::AgeSegment& segment) const {
    const reference_text::Style labelStyle{kLegendSize, QFont::Normal, {}, 0, false};
    const reference_text::Style sizeStyle{kLegendSize, QFont::Medium, {}, 0, true};
    return kLegendDot + kLegendGap +
           reference_text::width(qt(texts::ageBandLabel(segment.band)), labelStyle) + kLegendGap +
           reference_text::width(qt(formatByteCount(std::max<int64_t>(segment.bytes, 0))), sizeStyle);
}

int AgeBar::heightForWidth(int width) const {
    const auto origins = legendOrigins(width);
    const qreal bottom =
        origins.empty() ? kStripHeight + 8 + legendLineHeight() : origins.back().y() + legendLineHeight();
    return static_cast<int>(std::ceil(bottom));
}

QSize AgeBar::sizeHint() const {
    return {300, heightForWidth(width() > 0 ? width() : 300)};
}

QSize AgeBar::minimumSizeHint() const {
    return {100, sizeHint().height()};
}

void AgeBar::setBreakdown(const DiskInsights::AgeBreakdown& breakdown) {
    segments_ = views::insight::ageSegments(breakdown);
    totalBytes_ = breakdown.totalBytes;
    QStringList parts;
    for (const auto& segment : segments_)
        parts << qt(texts::ageBandLabel(segment.band)) + QStringLiteral(" ") +
                     qt(formatByteCount(std::max<int64_t>(segment.bytes, 0)));
    // One element for assistive technology: the bands and their sizes in order.
    setAccessibleName(parts.join(QStringLiteral(", ")));
    updateGeometry();
    update();
}

void AgeBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (heightForWidth(width()) != height()) updateGeometry();
}

QRectF AgeBar::stripRect() const {
    return {0, 0, static_cast<qreal>(width()), kStripHeight};
}

std::vector<QRectF> AgeBar::segmentRects() const {
    std::vector<QRectF> rects;
    const auto widths = views::insight::ageSegmentWidths(segments_, totalBytes_, width());
    // Laid out left to right from the leading edge, 2 points apart.
    qreal x = 0;
    for (const double w : widths) {
        rects.emplace_back(x, 0, w, kStripHeight);
        x += w + 2;
    }
    return rects;
}

void AgeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const StyleColors& colors = StyleColors::of(this);
    painter.save();
    painter.setClipPath(painting::continuousRoundedRect(stripRect(), 4));
    painter.setPen(Qt::NoPen);
    const auto rects = segmentRects();
    for (size_t i = 0; i < rects.size(); ++i) {
        painter.setBrush(bandColor(segments_[i].band, colors));
        painter.drawPath(painting::continuousRoundedRect(rects[i], 2));
    }
    painter.restore();

    const auto origins = legendOrigins(width());
    const qreal lineHeight = legendLineHeight();
    for (size_t i = 0; i < segments_.size(); ++i) {
        const auto& segment = segments_[i];
        qreal x = origins[i].x();
        const qreal top = origins[i].y();
        painter.setPen(Qt::NoPen);
        painter.setBrush(bandColor(segment.band, colors));
        painter.drawEllipse(QRectF(x, top + (lineHeight - kLegendDot) / 2, kLegendDot, kLegendDot));
        x += kLegendDot + kLegendGap;
        const QString label = qt(texts::ageBandLabel(segment.band));
        const reference_text::Style labelStyle{kLegendSize, QFont::Normal, colors.secondary, 0, false};
        reference_text::drawAt(painter, {x, top}, label, labelStyle);
        x += reference_text::width(label, labelStyle) + kLegendGap;
        const QString size = qt(formatByteCount(std::max<int64_t>(segment.bytes, 0)));
        const reference_text::Style sizeStyle{kLegendSize, QFont::Medium, colors.primary, 0, true};
        reference_text::drawAt(painter, {x, top}, size, sizeStyle);
    }
}

UntouchedView::UntouchedView(InsightInputs inputs, int years, InsightActions actions, QWidget* parent)
    : InsightScreen(parent), inputs_(std::move(inputs)), years_(years), actions_(std::move(actions)),
      ageBar_(new AgeBar), ageSpace_(new QWidget), pills_(new SegmentedPills),
      loading_(new InsightLoadingState), empty_(new InsightEmptyState), list_(new InsightItemList(actions_)),
      footnote_(new InsightFootnote(texts::untouchedFootnote())),
      ageTask_([this](DiskInsights::AgeBreakdown age) {
          age_ = std::move(age);
          ageBar_->setBreakdown(*age_);
          showState();
      }),
      listTask_([this](std::vector<DiskInsights::Item> items) {
          list_->setItems(items, inputs_.root, inputs_.selectedPath);
          items_ = std::move(items);
          showState();
      }) {
    ageSpace_->setFixedHeight(14);
    auto* yearRow = new QWidget;
    auto* row = new QHBoxLayout(yearRow);
    row->setContentsMargins(0, 0, 0, 10);
    row->setSpacing(10);
    row->addWidget(
        new InsightLabel(qt(texts::notChangedIn()), 12, QFont::Normal, TextRole::secondary, yearRow), 0,
        Qt::AlignVCenter);
    SegmentedPills::Group group;
    for (const int choice : views::insight::kYearChoices)
        group.append(SegmentedPills::entry(choice, qt(texts::yearChoiceTitle(choice)), {},
                                           qt(texts::yearChoiceHelp(choice))));
    pills_->setParent(yearRow);
    pills_->setGroups({group});
    pills_->setFallsBackToIconOnly(false);
    pills_->setAlignment(Qt::AlignLeft);
    pills_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(pills_, &SegmentedPills::optionSelected, this, [this](const QVariant& option) {
        const int chosen = option.toInt();
        if (onYearsChosen)
            onYearsChosen(chosen);
        else
            setYears(chosen);
    });
    row->addWidget(pills_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    contentLayout()->addWidget(ageBar_);
    contentLayout()->addWidget(ageSpace_);
    contentLayout()->addWidget(yearRow);
    contentLayout()->addWidget(loading_);
    contentLayout()->addWidget(empty_);
    contentLayout()->addWidget(list_);
    contentLayout()->addWidget(footnote_);
    setInputs(inputs_);
}

void UntouchedView::setInputs(InsightInputs inputs) {
    inputs_ = std::move(inputs);
    setHeader(texts::untouchedTitle(), texts::untouchedSubtitle(inputs_.folderName), inputs_.isFromSavedScan);
    list_->setSelectedPath(inputs_.selectedPath);
    start();
}

void UntouchedView::setYears(int years) {
    if (years == years_) return;
    years_ = years;
    start();
}

void UntouchedView::start() {
    // A stored value other than the three offered highlights no pill.
    pills_->setSelection(QVariant(years_));
    empty_->setText(texts::untouchedEmpty(inputs_.folderName, years_));
    const auto tree = InsightTaskKey::of(inputs_.root);
    const FileNode folder = inputs_.root;
    const auto now = actions_.now ? actions_.now : std::function<Date()>(systemNow);
    ageTask_.request(tree, [folder, now] { return views::insight::ageBreakdown(folder, now()); });
    listTask_.request({tree, years_}, [folder, now, years = years_] {
        return views::insight::untouchedItems(folder, now(), years);
    });
    showState();
}

void UntouchedView::showState() {
    ageBar_->setVisible(age_.has_value());
    ageSpace_->setVisible(age_.has_value());
    showOne(loading_, empty_, {list_, footnote_}, !items_ ? 0 : items_->empty() ? 1 : 2);
}

} // namespace quillmere
