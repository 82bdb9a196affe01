#include "applications/view/DetailPanelWidgets.hpp"

#include "applications/model/ApplicationListRules.hpp"
#include "applications/model/ApplicationsTexts.hpp"
#include "applications/view/AppIconCache.hpp"
#include "ui/IconTile.hpp"
#include "ui/Painting.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

namespace quillmere {
namespace {

// A label that keeps its ink when the appearance changes.
class InkLabel : public QLabel {
public:
    InkLabel(const QString& text, Ink ink, QWidget* parent) : QLabel(text, parent), ink_(ink) { apply(); }

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) apply();
        QLabel::changeEvent(event);
    }

private:
    void apply() {
        QPalette own = palette();
        const QColor color = Theme::ink(this, ink_);
        if (own.color(QPalette::WindowText) == color) return;
        own.setColor(QPalette::WindowText, color);
        setPalette(own);
    }
    Ink ink_;
};

class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Theme::palette(this).line); }
};

class WideButton : public QPushButton {
public:
    WideButton(const QString& text, QString symbol, bool prominent, QWidget* parent)
        : QPushButton(text, parent), symbol_(std::move(symbol)), prominent_(prominent) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setMinimumHeight(28);
        setCursor(Qt::PointingHandCursor);
        setFont(Theme::uiFont(12, QFont::Medium));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const Theme::Palette& palette = Theme::palette(this);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath shape = painting::continuousRoundedRect(box, 7);
        QColor text = palette.ink;
        if (prominent_) {
            QColor red = StyleColors::of(this).red;
            if (!isEnabled())
                red.setAlphaF(0.35f);
            else if (isDown())
                red = red.darker(115);
            painter.fillPath(shape, red);
            text = QColor(255, 255, 255, isEnabled() ? 255 : 160);
        } else {
            QColor fill = palette.fill;
            if (isDown()) fill = fill.darker(110);
            painter.fillPath(shape, fill);
            painter.setPen(QPen(palette.line, 1));
            painter.drawPath(shape);
            if (!isEnabled()) text = palette.ink3;
        }
        const QFontMetricsF metrics(font());
        const qreal symbolSide = Symbols::boxSide(12);
        const qreal room = width() - 12 - symbolSide - 5;
        const QString shown = metrics.elidedText(this->text(), Qt::ElideRight, room);
        const qreal contentWidth = symbolSide + 5 + metrics.horizontalAdvance(shown);
        const qreal left = std::max(6.0, (width() - contentWidth) / 2);
        Symbols::draw(painter, QRectF(left, (height() - symbolSide) / 2, symbolSide, symbolSide), symbol_,
                      text, 12);
        painter.setPen(text);
        painter.setFont(font());
        painter.drawText(QRectF(left + symbolSide + 5, 0, room, height()), Qt::AlignLeft | Qt::AlignVCenter,
                         shown);
        if (painting::showsFocusRing(this)) {
            painter.setPen(QPen(Theme::accent(this), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(painting::strokeBorderPath(QRectF(rect()), 7, 1.5));
        }
    }

private:
    QString symbol_;
    bool prominent_;
};

} // namespace

QLabel* makeLabel(const QString& text, qreal pixelSize, QFont::Weight weight, Ink ink, QWidget* parent) {
    auto* label = new InkLabel(text, ink, parent);
    label->setFont(Theme::uiFont(pixelSize, weight));
    return label;
}

QString locationLine(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : (slash == 0 ? "/" : path.substr(0, slash));
    return QString::fromStdString(homeRelativeDisplayPath(folder, QDir::homePath().toStdString()));
}

QWidget* makeDivider(QWidget* parent) {
    return new Divider(parent);
}

QPushButton* makeWideButton(const QString& text, const QString& symbol, bool prominent, QWidget* parent) {
    return new WideButton(text, symbol, prominent, parent);
}

Callout::Callout(const QString& symbol, bool warning, const QString& html, QWidget* parent)
    : QWidget(parent), symbol_(symbol), warning_(warning) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10 + 14 + 8, 10, 10, 10);
    label_ = makeLabel(html, 11.5, QFont::Normal, warning ? Ink::warning : Ink::accent, this);
    label_->setTextFormat(Qt::RichText);
    label_->setWordWrap(true);
    layout->addWidget(label_);
}

void Callout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor tint = warning_ ? Theme::warning(this) : Theme::accent(this);
    const QColor ink = tint;
    tint.setAlphaF(0.14f);
    painter.fillPath(painting::continuousRoundedRect(QRectF(rect()), 8), tint);
    Symbols::draw(painter, QRectF(10, 10, 14, 16), symbol_, ink, 12);
}

DetailHeader::DetailHeader(const InstalledApp& app, AppIconCache& icons, QWidget* parent)
    : QWidget(parent), app_(app), icons_(icons) {
    setFixedHeight(15 + 40 + 15);
    connect(&icons_, &AppIconCache::iconReady, this, qOverload<>(&QWidget::update));
}

void DetailHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    IconTile::paint(painter, QRectF(15, 15, 40, 40), icons_.tile(app_));
    const qreal left = 15 + 40 + 11;
    const qreal width = this->width() - left - 15;
    const QFont nameFont = Theme::uiFont(15, QFont::DemiBold);
    const QFont infoFont = Theme::uiFont(11.5);
    painter.setFont(nameFont);
    painter.setPen(palette.ink);
    const QFontMetricsF nameMetrics(nameFont);
    painter.drawText(QPointF(left, 15 + nameMetrics.ascent()),
                     nameMetrics.elidedText(QString::fromStdString(app_.name), Qt::ElideRight, width));
    painter.setFont(infoFont);
    painter.setPen(palette.ink2);
    const QString info = QString::fromStdString(texts::versionAndDeveloper(
        app_.version ? &*app_.version : nullptr, app_.developer ? &*app_.developer : nullptr));
    painter.drawText(QPointF(left, 15 + nameMetrics.height() + 3 + QFontMetricsF(infoFont).ascent()),
                     QFontMetricsF(infoFont).elidedText(info, Qt::ElideRight, width));
}

TickList::TickList(QWidget* parent) : RowListArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A slim bar that leaves the rows their width.
    verticalScrollBar()->setStyleSheet(
        "QScrollBar:vertical { width: 7px; background: transparent; margin: 2px 1px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.45); border-radius: 3px; "
        "min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
}

void TickList::setSections(std::vector<Section> sections) {
    sections_ = std::move(sections);
    relayout();
    viewport()->update();
}

qreal TickList::layOut() {
    placed_.clear();
    qreal y = 0;
    for (int s = 0; s < static_cast<int>(sections_.size()); ++s) {
        if (sections_[s].rows.empty()) continue;
        const qreal headingHeight = 12 + QFontMetricsF(Theme::uiFont(10, QFont::Bold)).height() + 4;
        placed_.push_back(Placed{s, -1, y, headingHeight});
        y += headingHeight;
        for (int r = 0; r < static_cast<int>(sections_[s].rows.size()); ++r) {
            placed_.push_back(Placed{s, r, y, kRowHeight});
            y += kRowHeight;
        }
    }
    return y + 6;
}

TickList::Band TickList::band(int index) const {
    const Placed& placed = placed_[index];
    return {placed.top, placed.height, placed.row >= 0};
}

void TickList::rowChosen(int index) {
    emit toggled(placed_[index].section, placed_[index].row);
}

void TickList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    const bool dark = Theme::isDark(this);
    const qreal offset = verticalScrollBar()->value();
    const qreal left = 15;
    const qreal width = viewport()->width() - 30;
    QFont headingFont = Theme::uiFont(10, QFont::Bold);
    headingFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    const QFont nameFont = Theme::uiFont(12, QFont::DemiBold);
    const QFont locationFont = Theme::uiFont(10.5);
    const QFont sizeFont = Theme::uiFont(11.5);
    for (int index = 0; index < static_cast<int>(placed_.size()); ++index) {
        const Placed& placed = placed_[index];
        const QRectF rect(left, placed.top - offset, width, placed.height);
        if (rect.bottom() < 0 || rect.top() > viewport()->height()) continue;
        const Section& section = sections_[placed.section];
        if (placed.row < 0) {
            painter.setFont(headingFont);
            painter.setPen(palette.ink3);
            painter.drawText(QPointF(rect.left(), rect.top() + 12 + QFontMetricsF(headingFont).ascent()),
                             section.heading.toUpper());
            continue;
        }
        const Row& row = section.rows[placed.row];
        const qreal markSide = Symbols::boxSide(15);
        const QRectF mark(rect.left(), rect.center().y() - markSide / 2, markSide, markSide);
        if (row.isChecked) {
            // The symbol is drawn in white into a layer, then tinted with the action gradient.
            QImage layer(mark.size().toSize() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
            layer.setDevicePixelRatio(devicePixelRatioF());
            layer.fill(Qt::transparent);
            {
                QPainter glyph(&layer);
                glyph.setRenderHint(QPainter::Antialiasing);
                Symbols::draw(glyph, QRectF(QPointF(), mark.size()), "checkmark.circle.fill", Qt::white, 15);
                glyph.setCompositionMode(QPainter::CompositionMode_SourceIn);
                QLinearGradient gradient(0, 0, mark.width(), 0);
                gradient.setColorAt(0, Theme::actionGradient().start);
                gradient.setColorAt(1, Theme::actionGradient().end);
                glyph.fillRect(QRectF(QPointF(), mark.size()), gradient);
            }
            painter.drawImage(mark.topLeft(), layer);
        } else {
            QColor unticked = palette.ink2;
            unticked.setAlphaF(0.35f);
            Symbols::draw(painter, mark, "circle", unticked, 15);
        }
        const QFontMetricsF sizeMetrics(sizeFont);
        const qreal sizeWidth = sizeMetrics.horizontalAdvance(row.size);
        const qreal textLeft = mark.right() + 9;
        const qreal textWidth = rect.right() - sizeWidth - 8 - textLeft;
        const QFontMetricsF nameMetrics(nameFont);
        const QFontMetricsF locationMetrics(locationFont);
        const qreal blockTop = rect.center().y() - (nameMetrics.height() + 1 + locationMetrics.height()) / 2;
        painter.setFont(nameFont);
        painter.setPen(palette.ink);
        painter.drawText(QPointF(textLeft, blockTop + nameMetrics.ascent()),
                         nameMetrics.elidedText(row.name, Qt::ElideMiddle, textWidth));
        painter.setFont(locationFont);
        painter.setPen(row.locationIsAccent ? Theme::accent(dark) : palette.ink2);
        painter.drawText(QPointF(textLeft, blockTop + nameMetrics.height() + 1 + locationMetrics.ascent()),
                         locationMetrics.elidedText(row.location, Qt::ElideMiddle, textWidth));
        painter.setFont(sizeFont);
        painter.setPen(palette.ink2);
        painter.drawText(QRectF(rect.right() - sizeWidth, rect.top(), sizeWidth, rect.height()),
                         Qt::AlignRight | Qt::AlignVCenter, row.size);
        if (index == focusedRow() && painting::showsFocusRing(this)) {
            painter.setPen(QPen(Theme::accent(dark), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(painting::strokeBorderPath(rect.adjusted(-6, 1, 6, -1), 8, 1.5));
        }
    }
}

} // namespace quillmere
