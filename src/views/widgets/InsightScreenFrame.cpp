#include "views/widgets/InsightScreenFrame.hpp"

#include "base/Format.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/ProgressIndicator.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"
#include "views/Formatters.hpp"
#include "views/InsightModel.hpp"
#include "views/InsightTexts.hpp"
#include "views/widgets/InsightScreenCommon.hpp"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <chrono>

namespace quillmere {
namespace {

using insight_screen::qt;
using views::TextRole;

// Row metrics.
constexpr qreal kRowMarginX = 10;
constexpr qreal kRowMarginY = 7;
constexpr qreal kRowSpacing = 12;
constexpr qreal kIconSide = 24;
constexpr qreal kBarWidth = 90;
constexpr qreal kSizeWidth = 76;
constexpr qreal kButtonSide = 20;
constexpr qreal kNameSize = 12.5;
constexpr qreal kDetailSize = 10.5;
constexpr qreal kSizeTextSize = 12;

qreal lineHeight(qreal size, QFont::Weight weight) {
    return reference_text::measure(QStringLiteral("Ag"), size, weight).height();
}

} // namespace

Date systemNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

QString elideMiddle(const QString& text, qreal size, QFont::Weight weight, qreal width) {
    const reference_text::Style style{size, weight, {}, 0, false};
    if (reference_text::width(text, style) <= width) return text;
    const QString ellipsis = QStringLiteral("\u2026");
    const auto candidate = [&](qsizetype kept) {
        const qsizetype head = (kept + 1) / 2;
        return text.left(head) + ellipsis + text.right(kept - head);
    };
    // The longest candidate that fits: widths grow with the characters kept.
    qsizetype low = 0;
    qsizetype high = text.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (reference_text::width(candidate(middle), style) <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return candidate(low);
}

InsightLabel::InsightLabel(const QString& text, qreal size, QFont::Weight weight, TextRole role,
                           QWidget* parent)
    : QLabel(text, parent), role_(role) {
    setFont(Theme::uiFont(size, weight));
    setTextFormat(Qt::PlainText);
    applyColor();
}

void InsightLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyColor();
}

void InsightLabel::applyColor() {
    QPalette colors = palette();
    const QColor color = StyleColors::of(this).text(role_);
    if (colors.color(QPalette::WindowText) == color) return;
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
}

InsightScreen::InsightScreen(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    auto* page = new QWidget;
    page->setAutoFillBackground(false);
    auto* stack = new QVBoxLayout(page);
    stack->setContentsMargins(20, 16, 20, 16);
    stack->setSpacing(0);
    title_ = new InsightLabel({}, 20, QFont::DemiBold, TextRole::primary, page);
    subtitle_ = new InsightLabel({}, 12, QFont::Normal, TextRole::secondary, page);
    subtitle_->setWordWrap(true);
    notice_ = makeSavedScanNotice(page);
    noticeSpace_ = new QWidget(page);
    noticeSpace_->setFixedHeight(14);
    stack->addWidget(title_);
    stack->addSpacing(3);
    stack->addWidget(subtitle_);
    stack->addSpacing(14);
    stack->addWidget(notice_);
    stack->addWidget(noticeSpace_);
    content_ = new QVBoxLayout;
    content_->setContentsMargins(0, 0, 0, 0);
    content_->setSpacing(0);
    stack->addLayout(content_);
    stack->addStretch(1);
    setWidget(page);
    applySlimScrollBar(this);
}

void InsightScreen::setHeader(const std::string& title, const std::string& subtitle, bool isFromSavedScan) {
    title_->setText(qt(title));
    subtitle_->setText(qt(subtitle));
    notice_->setVisible(isFromSavedScan);
    noticeSpace_->setVisible(isFromSavedScan);
}

QString InsightScreen::titleText() const {
    return title_->text();
}

QString InsightScreen::subtitleText() const {
    return subtitle_->text();
}

bool InsightScreen::showsSavedScanNotice() const {
    return !notice_->isHidden();
}

void InsightScreen::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applySlimScrollBar(this);
}

namespace {

// The clock symbol of the notice, in the notice's ink.
class NoticeSymbol : public QWidget {
public:
    explicit NoticeSymbol(QWidget* parent) : QWidget(parent) {
        const int side = static_cast<int>(std::ceil(Symbols::boxSide(12)));
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Symbols::draw(painter, rect(), QStringLiteral("clock.arrow.circlepath"),
                      Theme::palette(Theme::isDark(this)).ink2, 12);
    }
};

// The notice's text in the palette's second ink, which the label's roles do not name.
class NoticeText : public QLabel {
public:
    explicit NoticeText(QWidget* parent) : QLabel(qt(views::insight_texts::savedScanNotice()), parent) {
        setFont(Theme::uiFont(11.5));
        setWordWrap(true);
        setTextFormat(Qt::PlainText);
        apply();
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange) apply();
    }

private:
    void apply() {
        QPalette colors = palette();
        const QColor ink = Theme::palette(Theme::isDark(this)).ink2;
        if (colors.color(QPalette::WindowText) == ink) return;
        colors.setColor(QPalette::WindowText, ink);
        setPalette(colors);
    }
};

} // namespace

QWidget* makeSavedScanNotice(QWidget* parent) {
    auto* panel = new GlassPanel(parent, 9, false);
    panel->setReservesShadowRoom(false);
    panel->setObjectName(QStringLiteral("SavedScanNotice"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    row->addWidget(new NoticeSymbol(panel), 0, Qt::AlignVCenter);
    row->addWidget(new NoticeText(panel), 1, Qt::AlignVCenter);
    return panel;
}

InsightEmptyState::InsightEmptyState(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 20, 0, 20);
    label_ = new InsightLabel({}, 13, QFont::Normal, TextRole::secondary, this);
    label_->setWordWrap(true);
    layout->addWidget(label_);
}

void InsightEmptyState::setText(const std::string& text) {
    label_->setText(qt(text));
}

QString InsightEmptyState::text() const {
    return label_->text();
}

InsightLoadingState::InsightLoadingState(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 20, 0, 20);
    layout->setSpacing(8);
    layout->addWidget(new ProgressIndicator(this), 0, Qt::AlignVCenter);
    layout->addWidget(
        new InsightLabel(qt(views::insight_texts::loading()), 12, QFont::Normal, TextRole::secondary, this),
        0, Qt::AlignVCenter);
    layout->addStretch(1);
}

InsightFootnote::InsightFootnote(const std::string& text, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 14, 10, 0);
    label_ = new InsightLabel(qt(text), 11, QFont::Normal, TextRole::tertiary, this);
    label_->setWordWrap(true);
    layout->addWidget(label_);
}

QString InsightFootnote::text() const {
    return label_->text();
}

void insight_bar::paint(QPainter& painter, const QRectF& track, double fraction, bool dark) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal radius = track.height() / 2;
    QColor trackColor = StyleColors::of(dark).primary;
    trackColor.setAlphaF(0.08f);
    painter.setBrush(trackColor);
    painter.drawPath(painting::continuousRoundedRect(track, radius));
    const qreal fill = views::insight::barFillWidth(track.width(), fraction);
    if (fill > 0) {
        const QRectF filled(track.left(), track.top(), fill, track.height());
        const QColor accent = Theme::accent(dark);
        QColor faded = accent;
        faded.setAlphaF(accent.alphaF() * 0.75f);
        QLinearGradient gradient(filled.topLeft(), filled.topRight());
        gradient.setColorAt(0, accent);
        gradient.setColorAt(1, faded);
        painter.setBrush(gradient);
        painter.drawPath(painting::continuousRoundedRect(filled, std::min(radius, fill / 2)));
    }
    painter.restore();
}

InsightItemRow::InsightItemRow(Model model, std::function<void()> onSelect,
                               std::function<void()> onOpenFolder, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), onSelect_(std::move(onSelect)),
      onOpenFolder_(std::move(onOpenFolder)) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(qt(std::string(model_.item.node.name())));
    setAccessibleDescription(qt(model_.detail));
}

QSize InsightItemRow::sizeHint() const {
    const qreal texts = lineHeight(kNameSize, QFont::Medium) + 2 + lineHeight(kDetailSize, QFont::Normal);
    return {400, static_cast<int>(std::ceil(std::max(kIconSide, texts) + 2 * kRowMarginY))};
}

QSize InsightItemRow::minimumSizeHint() const {
    return {static_cast<int>(2 * kRowMarginX + kIconSide + 3 * kRowSpacing + kBarWidth + kSizeWidth +
                             kButtonSide + 40),
            sizeHint().height()};
}

QRectF InsightItemRow::buttonRect() const {
    const qreal right = width() - kRowMarginX;
    return {right - kButtonSide, (height() - kButtonSide) / 2, kButtonSide, kButtonSide};
}

QRectF InsightItemRow::sizeRect() const {
    const QRectF button = buttonRect();
    return {button.left() - kRowSpacing - kSizeWidth, 0, kSizeWidth, static_cast<qreal>(height())};
}

QRectF InsightItemRow::barRect() const {
    const QRectF size = sizeRect();
    return {size.left() - kRowSpacing - kBarWidth, (height() - insight_bar::kHeight) / 2, kBarWidth,
            insight_bar::kHeight};
}

QRectF InsightItemRow::iconRect() const {
    return {kRowMarginX, (height() - kIconSide) / 2, kIconSide, kIconSide};
}

QRectF InsightItemRow::textRect() const {
    const qreal left = iconRect().right() + kRowSpacing;
    // The flexible space before the bar is at least 12 points.
    const qreal right = barRect().left() - kRowSpacing;
    return {left, kRowMarginY, std::max<qreal>(0, right - left), height() - 2 * kRowMarginY};
}

QString InsightItemRow::shownName() const {
    return elideMiddle(qt(std::string(model_.item.node.name())), kNameSize, QFont::Medium,
                       textRect().width());
}

QString InsightItemRow::shownDetail() const {
    return elideMiddle(qt(model_.detail), kDetailSize, QFont::Normal, textRect().width());
}

void InsightItemRow::setSelected(bool selected) {
    if (model_.isSelected == selected) return;
    model_.isSelected = selected;
    update();
}

void InsightItemRow::setProtected(bool isProtected) {
    if (model_.isProtected == isProtected) return;
    model_.isProtected = isProtected;
    update();
}

void InsightItemRow::setHovered(bool hovered) {
    if (hovered_ == hovered) return;
    hovered_ = hovered;
    update();
}

QString InsightItemRow::toolTipAt(QPointF point) const {
    if (hasOpenFolderButton() && buttonRect().contains(point))
        return qt(views::insight_texts::openFolderHelp());
    return qt(model_.item.node.path());
}

void InsightItemRow::clickAt(QPointF point) {
    if (hasOpenFolderButton() && buttonRect().contains(point)) {
        if (onOpenFolder_) onOpenFolder_();
        return;
    }
    if (onSelect_) onSelect_();
}

void InsightItemRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(this);
    const StyleColors& colors = StyleColors::of(dark);
    if (model_.isSelected || hovered_) {
        QColor fill = model_.isSelected ? Theme::accent(dark) : colors.primary;
        fill.setAlphaF(model_.isSelected ? 0.16f : 0.05f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPath(painting::continuousRoundedRect(QRectF(rect()), 7));
    }

    const QRectF icon = iconRect();
    IconTile::paint(painter, icon, IconTile::fileKind(model_.item.kind));
    if (model_.isProtected) {
        const qreal symbol = Symbols::boxSide(8);
        const qreal side = symbol + 4;
        // Aligned to the tile's bottom-trailing corner, then moved 4 points right and down.
        const QRectF badge(icon.right() - side + 4, icon.bottom() - side + 4, side, side);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colors.windowBackground);
        painter.drawEllipse(badge);
        Symbols::draw(painter, badge.adjusted(2, 2, -2, -2), QStringLiteral("lock.fill"),
                      Theme::warning(dark), 8);
    }

    const QRectF texts = textRect();
    const qreal nameHeight = lineHeight(kNameSize, QFont::Medium);
    const qreal detailHeight = lineHeight(kDetailSize, QFont::Normal);
    const qreal top = (height() - (nameHeight + 2 + detailHeight)) / 2;
    reference_text::drawAt(painter, {texts.left(), top}, shownName(),
                           {kNameSize, QFont::Medium, colors.primary, 0, false});
    reference_text::drawAt(painter, {texts.left(), top + nameHeight + 2}, shownDetail(),
                           {kDetailSize, QFont::Normal, colors.secondary, 0, false});

    insight_bar::paint(painter, barRect(),
                       views::insight::barFraction(model_.item.node.allocatedSize(), model_.maxBytes), dark);

    const QString size = qt(formatByteCount(std::max<int64_t>(model_.item.node.allocatedSize(), 0)));
    const reference_text::Style sizeStyle{kSizeTextSize, QFont::Medium, colors.secondary, 0, true};
    const QRectF sizeBox = sizeRect();
    const qreal sizeWidth = reference_text::width(size, sizeStyle);
    reference_text::drawAt(
        painter, {sizeBox.right() - sizeWidth, (height() - lineHeight(kSizeTextSize, QFont::Medium)) / 2},
        size, sizeStyle);

    if (hasOpenFolderButton())
        Symbols::draw(painter, buttonRect(), QStringLiteral("folder"),
                      hovered_ ? colors.secondary : colors.quaternary, 11);
}

void InsightItemRow::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void InsightItemRow::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) clickAt(event->position());
}

void InsightItemRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHovered(true);
}

void InsightItemRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovered(false);
}

bool InsightItemRow::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), toolTipAt(help->pos()), this);
        return true;
    }
    return QWidget::event(event);
}

InsightItemList::InsightItemList(const InsightActions& actions, QWidget* parent)
    : QWidget(parent), actions_(actions), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(3);
}

void InsightItemList::setItems(std::vector<DiskInsights::Item> items, const FileNode& root,
                               const std::optional<std::string>& selectedPath) {
    for (auto* row : rows_)
        delete row;
    rows_.clear();
    root_ = root;
    const int64_t maxBytes = views::insight::listMaxBytes(items);
    const std::string rootPath = root.path();
    rows_.reserve(items.size());
    for (auto& item : items) {
        InsightItemRow::Model model;
        const std::string path = item.node.path();
        model.relativeFolder = views::insight::relativeFolder(rootPath, path);
        model.maxBytes = maxBytes;
        model.isSelected = selectedPath && *selectedPath == path;
        model.isProtected = actions_.isProtectedPath && actions_.isProtectedPath(path);
        const auto date = item.modificationDate
                              ? std::optional(views::formatMediumDate(*item.modificationDate))
                              : std::nullopt;
        model.detail = views::insight::joinDetail(
            views::insight::detailParts(model.relativeFolder, date, item.node.isDirectory()));
        model.item = std::move(item);
        const FileNode node = model.item.node;
        auto* row = new InsightItemRow(
            std::move(model),
            [this, node] {
                if (actions_.onSelectNode) actions_.onSelectNode(node);
            },
            [this, path] {
                const auto chain = root_.ancestors(path);
                if (chain && !chain->empty() && actions_.onSelectFolder) actions_.onSelectFolder(*chain);
            },
            this);
        layout_->addWidget(row);
        rows_.push_back(row);
    }
}

void InsightItemList::setSelectedPath(const std::optional<std::string>& selectedPath) {
    for (auto* row : rows_)
        row->setSelected(selectedPath && *selectedPath == row->model().item.node.path());
}

void InsightItemList::refreshProtection() {
    if (!actions_.isProtectedPath) return;
    for (auto* row : rows_)
        row->setProtected(actions_.isProtectedPath(row->model().item.node.path()));
}

} // namespace quillmere
