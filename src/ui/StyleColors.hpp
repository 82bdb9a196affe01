#pragma once

#include "views/Tooltip.hpp"

#include <QColor>

class QWidget;

namespace quillmere {

// Stand-ins for the platform's semantic colours, taken from the theme's palettes so every
// view that asks for "secondary text" or "the separator" gets the same colour.
struct StyleColors {
    QColor primary;
    QColor secondary;
    QColor tertiary;
    QColor quaternary;
    QColor separator;
    QColor windowBackground;
    QColor blue;
    QColor red;

    static const StyleColors& of(bool dark);
    static const StyleColors& of(const QWidget* widget);
    QColor text(views::TextRole role) const;
};

} // namespace quillmere
