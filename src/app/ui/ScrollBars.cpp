#include "app/ui/ScrollBars.hpp"

#include "app/ui/Theme.hpp"

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

} // namespace quillmere
