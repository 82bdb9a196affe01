#include "views/widgets/FileListView.hpp"

#include "ui/ColorOpacity.hpp"
#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

constexpr double kRowPaddingX = 10;
constexpr double kRowPaddingY = 8;
constexpr double kItemSpacing = 12;
constexpr double kIconFrame = 22;
constexpr double kSizeFrame = 76;
constexpr double kChevronFrame = 10;
constexpr double kNameSize = 12.5;
constexpr double kDetailSize = 10.5;

QString elidedMiddle(const QString& text, const reference_text::Style& style, double width) {
    if (reference_text::width(text, style) <= width) return text;
    // Halve the kept characters until the text fits, then grow back one at a time.
    qsizetype keep = text.size();
    const auto candidate = [&](qsizetype n) {
        return text.left((n + 1) / 2) + QChar(0x2026) + text.right(n / 2);
    };
    while (keep > 0 && reference_text::width(candidate(keep), style) > width)
        keep /= 2;
    while (keep + 1 < text.size() && reference_text::width(candidate(keep + 1), style) <= width)
        ++keep;
    return keep > 0 ? candidate(keep) : QString(QChar(0x2026));
}

} // namespace

FileListView::FileListView(FileNode root, Actions actions, std::optional<std::string> selectedPath,
                           QWidget* parent)
    : QAbstractScrollArea(parent), root_(std::move(root)), actions_(std::move(actions)),
      selectedPath_(std::move(selectedPath)) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    applySlimScrollBar(this);
    nameHeight_ = reference_text::measure("Ag", kNameSize, QFont::Medium).height();
    const double detailHeight = reference_text::measure("Ag", kDetailSize, QFont::Normal).height();
    rowHeight_ = std::ceil(kRowPaddingY * 2 + nameHeight_ + 2 + detailHeight);
    rows_ = views::FileListRows(root_, actions_.isProtected);
    updateScrollRange();
}

void FileListView::setRoot(FileNode root) {
    if (root.sharesNodeWith(root_)) return;
    const bool sameFolder = root.path() == root_.path();
    root_ = std::move(root);
    rows_ = views::FileListRows(root_, actions_.isProtected);
    hoveredRow_.reset();
    pressedRow_.reset();
    // A new folder starts at the top; the same folder in a new tree keeps its place.
    if (!sameFolder) verticalScrollBar()->setValue(0);
    updateScrollRange();
    viewport()->update();
}

void FileListView::refreshProtection() {
    rows_.forgetRows();
    viewport()->update();
}

void FileListView::setSelectedPath(std::optional<std::string> path) {
    if (path == selectedPath_) return;
    selectedPath_ = std::move(path);
    viewport()->update();
}

void FileListView::updateScrollRange() {
    const double content = rows_.empty()
                               ? 0
                               : kVerticalInset * 2 + static_cast<double>(rows_.size()) * rowHeight_ +
                                     static_cast<double>(rows_.size() - 1) * kRowSpacing;
    const int page = viewport()->height();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(static_cast<int>(rowHeight_ + kRowSpacing));
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(content)) - page));
}

QRectF FileListView::rowRect(size_t index) const {
    const double top = kVerticalInset + static_cast<double>(index) * (rowHeight_ + kRowSpacing) -
                       verticalScrollBar()->value();
    return QRectF(kSideInset, top, std::max(0.0, viewport()->width() - 2 * kSideInset), rowHeight_);
}

QRectF FileListView::barTrackRect(size_t index) const {
    const QRectF r = rowRect(index);
    const double right = r.right() - kRowPaddingX - kChevronFrame - kItemSpacing - kSizeFrame - kItemSpacing;
    return QRectF(right - kBarWidth, r.center().y() - kBarHeight / 2, kBarWidth, kBarHeight);
}

std::optional<size_t> FileListView::rowAt(QPointF p) const {
    if (rows_.empty()) return std::nullopt;
    const double y = p.y() + verticalScrollBar()->value() - kVerticalInset;
    if (y < 0 || p.x() < kSideInset || p.x() > viewport()->width() - kSideInset) return std::nullopt;
    const double pitch = rowHeight_ + kRowSpacing;
    const auto index = static_cast<size_t>(y / pitch);
    if (index >= rows_.size() || y - static_cast<double>(index) * pitch > rowHeight_) return std::nullopt;
    return index;
}

void FileListView::clickRow(size_t index) {
    if (index >= rows_.size()) return;
    const FileNode node = rows_.node(index);
    switch (views::fileListClick(node)) {
    case views::FileListClick::drill:
        if (actions_.onSelectFolder) actions_.onSelectFolder({node});
        break;
    case views::FileListClick::select:
        if (actions_.onSelectNode) actions_.onSelectNode(node);
        break;
    case views::FileListClick::nothing:
        break;
    }
}

void FileListView::hoverAt(std::optional<QPointF> p) {
    const std::optional<size_t> now = p ? rowAt(*p) : std::nullopt;
    if (now == hoveredRow_) return;
    if (hoveredRow_) viewport()->update(rowRect(*hoveredRow_).toAlignedRect());
    hoveredRow_ = now;
    const bool pointing = now && rows_.row(*now).isOpenable;
    if (pointing)
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        viewport()->unsetCursor();
    if (now) viewport()->update(rowRect(*now).toAlignedRect());
}

void FileListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const StyleColors& colors = StyleColors::of(this);
    if (rows_.empty()) {
        reference_text::drawCentered(painter, QRectF(viewport()->rect()).center(), "This folder is empty.",
                                     {13, QFont::Normal, colors.secondary});
        return;
    }
    const double pitch = rowHeight_ + kRowSpacing;
    const double scroll = verticalScrollBar()->value();
    const auto first = static_cast<size_t>(std::max(0.0, (scroll - kVerticalInset) / pitch));
    for (size_t i = first; i < rows_.size(); ++i) {
        if (rowRect(i).top() > viewport()->height()) break;
        paintRow(painter, i);
    }
}

void FileListView::paintRow(QPainter& painter, size_t index) {
    const bool dark = Theme::isDark(this);
    const StyleColors& colors = StyleColors::of(dark);
    const QColor accent = Theme::accent(dark);
    if (!rows_.isFor(root_)) return;
    const views::FileListRow& item = rows_.row(index);
    const FileNode& node = item.node;
    const QRectF r = rowRect(index);
    const bool selected = selectedPath_ && *selectedPath_ == node.path();

    painter.save();
    painter.setOpacity(node.isAggregate() ? 0.6 : 1);
    if (selected)
        painter.fillPath(painting::continuousRoundedRect(r, 7), withOpacity(accent, 0.16));
    else if (hoveredRow_ == index)
        painter.fillPath(painting::continuousRoundedRect(r, 7), withOpacity(colors.primary, 0.05));

    // Icon and badge.
    const QRectF icon(r.left() + kRowPaddingX, r.center().y() - kIconFrame / 2, kIconFrame, kIconFrame);
    Symbols::draw(painter, icon, node.isDirectory() ? "folder.fill" : "doc.fill",
                  node.isAggregate() ? colors.secondary : accent, 15);
    if (item.badge != views::FileListBadge::none) {
        const bool lock = item.badge == views::FileListBadge::lock;
        const double side = Symbols::boxSide(8) + 4;
        const QPointF corner = QPointF(icon.center().x() + 7.5, icon.center().y() + 7.5) + QPointF(4, 4);
        const QRectF badge(corner - QPointF(side, side), QSizeF(side, side));
        painter.setPen(Qt::NoPen);
        painter.setBrush(colors.windowBackground);
        painter.drawEllipse(badge);
        Symbols::draw(painter, badge.adjusted(2, 2, -2, -2), lock ? "lock.fill" : "icloud.fill",
                      lock ? Theme::warning(dark) : colors.blue, 8);
    }

    // Trailing columns, right to left.
    double right = r.right() - kRowPaddingX;
    if (item.isOpenable)
        Symbols::draw(painter, QRectF(right - kChevronFrame, r.top(), kChevronFrame, r.height()),
                      "chevron.right", colors.tertiary, 10);
    right -= kChevronFrame + kItemSpacing;
    const reference_text::Style sizeStyle{12, QFont::Medium, colors.secondary, 0, true};
    const QString sizeText = QString::fromStdString(item.sizeText);
    const double sizeWidth = reference_text::width(sizeText, sizeStyle);
    reference_text::drawCentered(painter, QPointF(right - sizeWidth / 2, r.center().y()), sizeText,
                                 sizeStyle);
    right -= kSizeFrame + kItemSpacing;
    const QRectF track = barTrackRect(index);
    painter.fillPath(painting::continuousRoundedRect(track, kBarHeight / 2),
                     withOpacity(colors.primary, 0.08));
    const double fill = std::round(item.barFraction * kBarWidth);
    if (fill > 0) {
        const QRectF bar(track.left(), track.top(), fill, kBarHeight);
        QLinearGradient gradient(bar.topLeft(), bar.topRight());
        gradient.setColorAt(0, accent);
        gradient.setColorAt(1, withOpacity(accent, 0.75));
        painter.fillPath(painting::continuousRoundedRect(bar, std::min(kBarHeight, fill) / 2), gradient);
    }

    // Name and detail, between the icon and the bar.
    const double textLeft = icon.right() + kItemSpacing;
    const double textWidth = std::max(0.0, track.left() - kItemSpacing - textLeft);
    const reference_text::Style nameStyle{kNameSize, QFont::Medium, colors.primary};
    const reference_text::Style detailStyle{kDetailSize, QFont::Normal, colors.secondary};
    const double textTop = r.top() + kRowPaddingY;
    reference_text::drawAt(painter, QPointF(textLeft, textTop),
                           elidedMiddle(QString::fromUtf8(node.name().data(), qsizetype(node.name().size())),
                                        nameStyle, textWidth),
                           nameStyle);
    reference_text::drawAt(painter, QPointF(textLeft, textTop + nameHeight_ + 2),
                           elidedMiddle(QString::fromStdString(item.detailText), detailStyle, textWidth),
                           detailStyle);
    painter.restore();
}

void FileListView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applySlimScrollBar(this);
}

void FileListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void FileListView::scrollContentsBy(int, int) {
    hoveredRow_.reset();
    viewport()->update();
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressedRow_ = rowAt(event->position());
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto pressed = pressedRow_;
    pressedRow_.reset();
    if (pressed && rowAt(event->position()) == pressed) clickRow(*pressed);
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position());
}

void FileListView::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    hoverAt(std::nullopt);
}

bool FileListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const auto index = rowAt(help->pos()))
            QToolTip::showText(help->globalPos(), QString::fromStdString(rows_.row(*index).tooltip),
                               viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace quillmere
