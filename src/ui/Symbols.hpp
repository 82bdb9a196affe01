#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace quillmere {

// Named symbols drawn as glyphs of the installed Material Icons font. Views ask by the
// interface's own symbol names ("externaldrive.fill", "chevron.right"); one table turns each
// name into a glyph. A name without a row, or a missing font, still draws a neutral mark so
// a slip shows up on screen instead of leaving a hole.
class Symbols {
public:
    Symbols() = delete;

    // The glyph (as text in the icon font) of a name; the fallback glyph for unknown names.
    static QString glyph(const QString& name);
    static bool has(const QString& name);
    static QString fallbackGlyph();
    // The icon font's own name of the glyph chosen for `name` ("folder_open"); empty if unmapped.
    static QString fontGlyphName(const QString& name);
    // Every mapped name, in table order.
    static QStringList names();

    // Whether the icon font could be loaded from its installed file (or found installed).
    static bool fontLoaded();
    static QString fontFamily();
    // The icon font for a symbol of `size`, the size a text beside it would have: icon
    // glyphs fill their em square, so the font is a little larger than the text to match
    // the text's visual weight.
    static QFont font(qreal size);
    // The side of the square one symbol of `size` occupies.
    static qreal boxSide(qreal size);

    // Draws the symbol centred in `rect`. A `size` of 0 or less fits the symbol's square into
    // the rectangle's shorter side.
    static void draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
                     qreal size = 0);
    // For Qt controls that take icons; crisp at the given device pixel ratio.
    static QIcon icon(const QString& name, const QColor& color, qreal size, qreal devicePixelRatio = 2.0);
};

} // namespace quillmere
