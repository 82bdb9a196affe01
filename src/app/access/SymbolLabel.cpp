#include "app/access/SymbolLabel.hpp"

#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

namespace quillmere {

QLabel* makeSymbolLabel(const QString& symbolName, const QColor& color, qreal size, int width,
                        QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(Symbols::font(size));
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(width);
    label->setTextFormat(Qt::PlainText);
    setSymbol(label, symbolName, color);
    return label;
}

void setSymbol(QLabel* label, const QString& symbolName, const QColor& color) {
    label->setObjectName(symbolName);
    label->setText(Symbols::glyph(symbolName));
    setLabelColor(label, color);
}

QLabel* makeTextLabel(const QString& text, qreal pixelSize, QFont::Weight weight, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Theme::uiFont(pixelSize, weight));
    return label;
}

void setLabelColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace quillmere
