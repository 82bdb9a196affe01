#include "ui/ScrollBars.hpp"

#include "ui/Theme.hpp"

#include <QAbstractScrollArea>
#include <QScrollBar>

namespace quillmere {

void applySlimScrollBar(QAbstractScrollArea* area) {
    QColor thumb = Theme::palette(Theme::isDark(area)).ink3;
    thumb.setAlphaF(0.5f);
    area->verticalScrollBar()->setStyleSheet(
        QString("QScrollBar:vertical { width: 8px; background: transparent; margin: 2px 1px 2px 0; }"
                "QScrollBar::handle:vertical { background: %1; border-radius: 3px; min-height: 28px; }"
                "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }")
            .arg(thumb.name(QColor::HexArgb)));
}

void applySlimHorizontalScrollBar(QAbstractScrollArea* area) {
    const QColor ink = Theme::palette(area).ink;
    const auto rgba = [&](qreal alpha) {
        return QString("rgba(%1, %2, %3, %4)").arg(ink.red()).arg(ink.green()).arg(ink.blue()).arg(alpha);
    };
    area->horizontalScrollBar()->setStyleSheet(
        QString("QScrollBar:horizontal { height: 8px; background: %1; border-radius: 4px; margin: 0; }"
                "QScrollBar::handle:horizontal { background: %2; border-radius: 4px; min-width: 40px; }"
                "QScrollBar::handle:horizontal:hover { background: %3; }"
                "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; }"
                "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }")
            .arg(rgba(0.06), rgba(0.28), rgba(0.42)));
}

} // namespace quillmere
