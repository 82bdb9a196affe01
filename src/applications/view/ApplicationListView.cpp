#include "applications/view/ApplicationListView.hpp"

#include "applications/model/ApplicationsTexts.hpp"
#include "applications/view/AppIconCache.hpp"
#include "applications/view/ViewText.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/ProgressIndicator.hpp"
#include "ui/Theme.hpp"

#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>

namespace quillmere {
namespace {

constexpr qreal kHeaderHeight = 18;
constexpr qreal kOrphanHeaderHeight = 10 + 30;
constexpr qreal kValueColumn = 140;
constexpr qreal kIndicatorSide = 18;

QLinearGradient leftoverGradient(const QRectF& rect) {
    QLinearGradient gradient(rect.topLeft(), rect.topRight());
    gradient.setColorAt(0, QColor::fromRgbF(1.0f, 0.769f, 0.42f));
    gradient.setColorAt(1, QColor::fromRgbF(0.941f, 0.396f, 0.122f));
    return gradient;
}

void paintCapsule(QPainter& painter, const QRectF& rect, const QBrush& brush) {
    if (rect.width() <= 0) return;
    const qreal radius = std::min(rect.height(), rect.width()) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawRoundedRect(rect, radius, radius);
}

void paintSelection(QPainter& painter, const QRectF& rect) {
    QLinearGradient fill(rect.topLeft(), rect.topRight());
    fill.setColorAt(0, withOpacity(Theme::actionGradient().start, 0.2));
    fill.setColorAt(1, withOpacity(Theme::actionGradient().start, 0.04));
    painter.fillPath(painting::continuousRoundedRect(rect, 10), fill);
}

// Draws `text` elided on the right within `width`, its baseline at `baseline`; returns its width.
qreal drawLine(QPainter& painter, const QFont& font, const QColor& color, qreal x, qreal baseline,
               qreal width, const QString& text) {
    const QFontMetricsF metrics(font);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(width, 0.0));
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(x, baseline), shown);
    return metrics.horizontalAdvance(shown);
}

// The frame both kinds of row share: the icon tile on the left, the value column on the right
// and a name line over a second line between them.
struct RowFrame {
    explicit RowFrame(const QRectF& rect)
        : inner(rect.adjusted(10, 8, -10, -8)), textLeft(inner.left() + 30 + 12),
          valueLeft(inner.right() - kValueColumn), textWidth(valueLeft - 8 - textLeft),
          nameFont(Theme::uiFont(13, QFont::DemiBold)), lineFont(Theme::uiFont(11)),
          nameHeight(QFontMetricsF(nameFont).height()),
          blockTop(inner.center().y() - (nameHeight + 2 + QFontMetricsF(lineFont).height()) / 2),
          nameBaseline(blockTop + QFontMetricsF(nameFont).ascent()),
          lineBaseline(blockTop + nameHeight + 2 + QFontMetricsF(lineFont).ascent()) {}
    QRectF iconRect() const { return QRectF(inner.left(), inner.center().y() - 15, 30, 30); }

    QRectF inner;
    qreal textLeft;
    qreal valueLeft;
    qreal textWidth;
    QFont nameFont;
    QFont lineFont;
    qreal nameHeight;
    qreal blockTop;
    qreal nameBaseline;
    qreal lineBaseline;
};

// Draws `bytes` in the value column over an empty bar; returns the bar for its filled parts.
QRectF paintValue(QPainter& painter, const RowFrame& frame, const QColor& ink, int64_t bytes) {
    const QFont valueFont = Theme::uiFont(13.5, QFont::DemiBold);
    const QFontMetricsF valueMetrics(valueFont);
    const qreal valueTop = frame.inner.center().y() - (valueMetrics.height() + 5 + 5) / 2;
    painter.setFont(valueFont);
    painter.setPen(ink);
    painter.drawText(QRectF(frame.valueLeft, valueTop, kValueColumn, valueMetrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, bytesText(bytes));
    const QRectF bar(frame.valueLeft, valueTop + valueMetrics.height() + 5, kValueColumn, 5);
    paintCapsule(painter, bar, withOpacity(ink, 0.06));
    return bar;
}

} // namespace

QString orphanCaption(const OrphanLeftoverGroup& group) {
    QString caption = QString::fromStdString(group.summary);
    if (const auto touched = group.latestTouch()) {
        const QDateTime date = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(*touched * 1000));
        caption += " · last touched " + QLocale().toString(date, "MMM yyyy");
    }
    return caption;
}

ApplicationListView::ApplicationListView(AppIconCache& icons, QWidget* parent)
    : RowListArea(parent), icons_(icons),
      indicator_(new ProgressIndicator(ProgressIndicator::Look::arc(kIndicatorSide), viewport())) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(&icons_, &AppIconCache::iconReady, viewport(), qOverload<>(&QWidget::update));
}

void ApplicationListView::setContent(Content content) {
    content_ = std::move(content);
    maxCombinedTotal_ = maxCombinedTotal(content_.rows);
    sectionTotalBytes_ = sectionTotalBytes(content_.orphanGroups);
    indicator_->setVisible(content_.kind == ListAreaContent::loading);
    relayout();
    viewport()->update();
}

qreal ApplicationListView::layOut() {
    lines_.clear();
    qreal y = 0;
    const auto add = [&](Line::Kind kind, int index, qreal height) {
        if (!lines_.empty()) y += kSpacing;
        lines_.push_back(Line{kind, index, y, height});
        y += height;
    };
    if (content_.kind != ListAreaContent::loading) add(Line::Kind::header, -1, kHeaderHeight);
    if (content_.kind == ListAreaContent::list) {
        for (int index = 0; index < static_cast<int>(content_.rows.size()); ++index)
            add(Line::Kind::appRow, index, kRowHeight);
        if (!content_.orphanGroups.empty()) {
            add(Line::Kind::orphanHeader, -1, kOrphanHeaderHeight);
            for (int index = 0; index < static_cast<int>(content_.orphanGroups.size()); ++index)
                add(Line::Kind::orphanRow, index, kRowHeight);
        }
    }
    if (content_.kind == ListAreaContent::loading) {
        // As wide as the viewport, so the indicator centred in it stands over the text; being a
        // widget, it starts on the nearest whole pixel.
        const CentredBlock block = centredBlock(qs(texts::kFindingApplications), true);
        indicator_->setGeometry(0, qRound(block.indicatorTop), viewport()->width(), qRound(kIndicatorSide));
    }
    return y;
}

ApplicationListView::Band ApplicationListView::band(int index) const {
    const Line& line = lines_[index];
    return {line.top, line.height, line.kind == Line::Kind::appRow || line.kind == Line::Kind::orphanRow};
}

void ApplicationListView::rowChosen(int index) {
    const Line line = lines_[index];
    // Copies: selecting changes the state, which replaces the content the row came from.
    if (line.kind == Line::Kind::appRow) {
        const std::string path = content_.rows[line.index].app.path;
        emit appSelected(path);
    } else if (line.kind == Line::Kind::orphanRow) {
        const std::string id = content_.orphanGroups[line.index].id();
        emit orphanGroupSelected(id);
    }
}

void ApplicationListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusedRow() >= 0) choose(focusedRow());
        return;
    }
    RowListArea::keyPressEvent(event);
}

ApplicationListView::CentredBlock ApplicationListView::centredBlock(const QString& text,
                                                                    bool withIndicator) const {
    const QFontMetricsF metrics(Theme::uiFont(12));
    const QRectF area = QRectF(viewport()->rect());
    const qreal indicatorSide = withIndicator ? kIndicatorSide : 0;
    const qreal top = withIndicator ? kHeaderHeight : 0;
    const QRectF space = area.adjusted(8, top, -8, 0);
    const QRectF textBounds =
        metrics.boundingRect(QRectF(0, 0, space.width(), 1000), Qt::AlignHCenter | Qt::TextWordWrap, text);
    const qreal block = indicatorSide + (withIndicator ? 10 : 0) + textBounds.height();
    qreal y = space.center().y() - block / 2;
    const qreal indicatorTop = y;
    if (withIndicator) y += indicatorSide + 10;
    return {indicatorTop, QRectF(space.left(), y, space.width(), textBounds.height())};
}

void ApplicationListView::paintCentred(QPainter& painter, const QString& text, bool withIndicator) {
    painter.setFont(Theme::uiFont(12));
    painter.setPen(Theme::palette(this).ink2);
    painter.drawText(centredBlock(text, withIndicator).text, Qt::AlignHCenter | Qt::TextWordWrap, text);
}

void ApplicationListView::paintHeader(QPainter& painter, const QRectF& rect) {
    const QColor ink = Theme::palette(this).ink3;
    const QFont bold = Theme::uiFont(10.5, QFont::Bold);
    QFont boldTracked = bold;
    boldTracked.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    const qreal baseline = rect.top() + 13;
    const qreal used = drawLine(painter, boldTracked, ink, rect.left() + 4, baseline, rect.width() - 8,
                                qs(texts::kInstalledHeading));
    drawLine(painter, Theme::uiFont(11), ink, rect.left() + 4 + used, baseline, rect.width() - 8 - used,
             qs(texts::kInstalledHeadingTail));
}

void ApplicationListView::paintOrphanHeader(QPainter& painter, const QRectF& rect) {
    const QColor ink = Theme::palette(this).ink3;
    QFont bold = Theme::uiFont(10.5, QFont::Bold);
    bold.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    const QString tail = QString::fromStdString(
        texts::orphanSectionTail(sectionTotalBytes_, orphanEntryCount(content_.orphanGroups)));
    // The header wraps: its two runs flow as one paragraph.
    const QRectF area = rect.adjusted(4, 10, -4, 0);
    const qreal headWidth = QFontMetricsF(bold).horizontalAdvance(qs(texts::kLeftBehind));
    painter.setFont(bold);
    painter.setPen(ink);
    painter.drawText(QPointF(area.left(), area.top() + 11), qs(texts::kLeftBehind));
    const QFont regular = Theme::uiFont(11);
    const QFontMetricsF metrics(regular);
    // First line continues after the heading; the rest wraps under it.
    QString rest = tail;
    const qreal firstWidth = area.width() - headWidth;
    int fit = static_cast<int>(rest.size());
    while (fit > 0 && metrics.horizontalAdvance(rest.left(fit)) > firstWidth) {
        const int space = static_cast<int>(rest.lastIndexOf(' ', fit - 1));
        fit = space > 0 ? space : 0;
    }
    painter.setFont(regular);
    painter.drawText(QPointF(area.left() + headWidth, area.top() + 11), rest.left(fit));
    const QString second = rest.mid(fit).trimmed();
    if (!second.isEmpty())
        painter.drawText(QPointF(area.left(), area.top() + 11 + metrics.lineSpacing()),
                         metrics.elidedText(second, Qt::ElideRight, area.width()));
}

void ApplicationListView::paintAppRow(QPainter& painter, const QRectF& rect, const ApplicationRow& row,
                                      bool selected) {
    const Theme::Palette& palette = Theme::palette(this);
    if (selected) paintSelection(painter, rect);
    const RowFrame frame(rect);
    IconTile::paint(painter, frame.iconRect(), icons_.tile(row.app));

    QString badge;
    qreal badgeWidth = 0;
    const QFont badgeFont = Theme::uiFont(10, QFont::DemiBold);
    if (const std::optional<std::string_view> text = rowBadge(row.app)) {
        badge = qs(*text);
        badgeWidth = QFontMetricsF(badgeFont).horizontalAdvance(badge) + 12;
    }
    const qreal nameWidth = drawLine(painter, frame.nameFont, palette.ink, frame.textLeft, frame.nameBaseline,
                                     frame.textWidth - (badgeWidth > 0 ? badgeWidth + 6 : 0),
                                     QString::fromStdString(row.app.name));
    if (!badge.isEmpty()) {
        const QFontMetricsF metrics(badgeFont);
        const QRectF capsule(frame.textLeft + nameWidth + 6,
                             frame.nameBaseline - QFontMetricsF(frame.nameFont).ascent() +
                                 (frame.nameHeight - metrics.height() - 4) / 2,
                             badgeWidth, metrics.height() + 4);
        paintCapsule(painter, capsule, withOpacity(palette.ink, 0.08));
        painter.setFont(badgeFont);
        painter.setPen(palette.ink3);
        painter.drawText(capsule, Qt::AlignCenter, badge);
    }
    drawLine(painter, frame.lineFont, palette.ink2, frame.textLeft, frame.lineBaseline, frame.textWidth,
             QString::fromStdString(applicationSubtitle(row)));

    // The bundle's part of the bar, then the leftovers' after a small gap.
    const QRectF bar = paintValue(painter, frame, palette.ink, combinedTotal(row));
    const qreal bundle = barWidth(bar.width(), row.app.allocatedSize, maxCombinedTotal_);
    const int64_t leftover = leftoverBytes(row);
    paintCapsule(painter, QRectF(bar.left(), bar.top(), bundle, 5), Theme::applicationTint());
    if (leftover >= 1)
        paintCapsule(painter,
                     QRectF(bar.left() + bundle + 1.5, bar.top(),
                            barWidth(bar.width(), leftover, maxCombinedTotal_), 5),
                     leftoverGradient(bar));
}

void ApplicationListView::paintOrphanRow(QPainter& painter, const QRectF& rect,
                                         const OrphanLeftoverGroup& group, bool selected) {
    const Theme::Palette& palette = Theme::palette(this);
    const bool dark = Theme::isDark(this);
    if (selected) paintSelection(painter, rect);
    const RowFrame frame(rect);
    IconTile::paint(painter, frame.iconRect(), IconTile::orphanGroup());

    const bool unmatched = !group.guessedAppName.has_value();
    const QString chip = qs(unmatched ? texts::kUnmatched : texts::kGuess);
    const QFont chipFont = Theme::uiFont(9.5, QFont::DemiBold);
    const QFontMetricsF chipMetrics(chipFont);
    const qreal chipWidth = chipMetrics.horizontalAdvance(chip) + 12;
    const qreal titleWidth =
        drawLine(painter, frame.nameFont, palette.ink, frame.textLeft, frame.nameBaseline,
                 frame.textWidth - chipWidth - 6, QString::fromStdString(orphanTitle(group)));
    const QRectF capsule(frame.textLeft + titleWidth + 6,
                         frame.blockTop + (frame.nameHeight - chipMetrics.height() - 4) / 2, chipWidth,
                         chipMetrics.height() + 4);
    paintCapsule(painter, capsule,
                 unmatched ? withOpacity(palette.ink, 0.08) : withOpacity(Theme::accent(dark), 0.16));
    painter.setFont(chipFont);
    painter.setPen(unmatched ? palette.ink2 : Theme::accent(dark));
    painter.drawText(capsule, Qt::AlignCenter, chip);
    drawLine(painter, frame.lineFont, palette.ink2, frame.textLeft, frame.lineBaseline, frame.textWidth,
             orphanCaption(group));

    const int64_t bytes = group.totalBytes();
    const QRectF bar = paintValue(painter, frame, palette.ink, bytes);
    paintCapsule(painter, QRectF(bar.left(), bar.top(), barWidth(bar.width(), bytes, sectionTotalBytes_), 5),
                 leftoverGradient(bar));
}

void ApplicationListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (content_.kind == ListAreaContent::loading) {
        paintCentred(painter, qs(texts::kFindingApplications), true);
        return;
    }
    const qreal offset = verticalScrollBar()->value();
    const qreal width = viewport()->width();
    for (int index = 0; index < static_cast<int>(lines_.size()); ++index) {
        const Line& line = lines_[index];
        const QRectF rect(0, line.top - offset, width, line.height);
        if (rect.bottom() < 0 || rect.top() > viewport()->height()) continue;
        switch (line.kind) {
        case Line::Kind::header:
            paintHeader(painter, rect);
            break;
        case Line::Kind::orphanHeader:
            paintOrphanHeader(painter, rect);
            break;
        case Line::Kind::appRow: {
            const ApplicationRow& row = content_.rows[line.index];
            paintAppRow(painter, rect, row, isAppRowSelected(row, content_.selectedAppPath));
            break;
        }
        case Line::Kind::orphanRow: {
            const OrphanLeftoverGroup& group = content_.orphanGroups[line.index];
            paintOrphanRow(painter, rect, group, isOrphanRowSelected(group, content_.selectedOrphanGroupID));
            break;
        }
        }
        if (index == focusedRow() && painting::showsFocusRing(this)) {
            painter.setPen(QPen(Theme::accent(this), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(painting::strokeBorderPath(rect, 10, 1.5));
        }
    }
    if (content_.kind == ListAreaContent::noMatch)
        paintCentred(painter, QString::fromStdString(texts::noMatch(content_.searchText)), false);
}

} // namespace quillmere
