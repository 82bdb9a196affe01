#include "views/widgets/UntouchedView.hpp"

#include "base/Format.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/SegmentedPills.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Theme.hpp"
#include "views/widgets/InsightScreenCommon.hpp"

#include <QHBoxLayout>
#include <QPainter>

namespace quillmere {

using namespace insight_screen;

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
    ageTask_.request(tree, [folder, now](const std::atomic<bool>* cancelled) {
        return views::insight::ageBreakdown(folder, now(), cancelled);
    });
    listTask_.request({tree, years_}, [folder, now, years = years_](const std::atomic<bool>* cancelled) {
        return views::insight::untouchedItems(folder, now(), years, cancelled);
    });
    showState();
}

void UntouchedView::showState() {
    ageBar_->setVisible(age_.has_value());
    ageSpace_->setVisible(age_.has_value());
    showOne(loading_, empty_, {list_, footnote_}, !items_ ? 0 : items_->empty() ? 1 : 2);
}

} // namespace quillmere
