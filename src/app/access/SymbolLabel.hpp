#pragma once

#include <QLabel>

namespace quillmere {

// A symbol of the icon font as a label, named after the symbol so tests can find it.
QLabel* makeSymbolLabel(const QString& symbolName, const QColor& color, qreal size, int width,
                        QWidget* parent = nullptr);
void setSymbol(QLabel* label, const QString& symbolName, const QColor& color);
// A label for text that may come from files: never read as rich text.
QLabel* makeTextLabel(const QString& text, qreal pixelSize, QFont::Weight weight, QWidget* parent = nullptr);
void setLabelColor(QLabel* label, const QColor& color);

} // namespace quillmere
