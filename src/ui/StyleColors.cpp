#include "ui/StyleColors.hpp"

#include "ui/Theme.hpp"

namespace quillmere {
namespace {

StyleColors make(bool dark) {
    const Theme::Palette& p = Theme::palette(dark);
    QColor quaternary = p.ink3;
    quaternary.setAlphaF(p.ink3.alphaF() * 0.5f);
    return {p.ink,
            p.ink2,
            p.ink3,
            quaternary,
            p.line,
            p.bg1,
            dark ? QColor(10, 132, 255) : QColor(0, 122, 255),
            dark ? QColor(255, 69, 58) : QColor(255, 59, 48)};
}

} // namespace

const StyleColors& StyleColors::of(bool dark) {
    static const StyleColors darkColors = make(true);
    static const StyleColors lightColors = make(false);
    return dark ? darkColors : lightColors;
}

const StyleColors& StyleColors::of(const QWidget* widget) {
    return of(Theme::isDark(widget));
}

QColor StyleColors::text(views::TextRole role) const {
    switch (role) {
    case views::TextRole::secondary:
        return secondary;
    case views::TextRole::tertiary:
        return tertiary;
    case views::TextRole::quaternary:
        return quaternary;
    case views::TextRole::primary:
        break;
    }
    return primary;
}

} // namespace quillmere
