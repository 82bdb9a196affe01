#pragma once

// What the insight screens' sources share beyond their pieces; each takes it in whole with
// `using namespace insight_screen`.
#include "views/InsightModel.hpp"
#include "views/InsightTexts.hpp"
#include "views/Tooltip.hpp"

#include <QString>
#include <QWidget>
#include <initializer_list>
#include <string>

namespace quillmere::insight_screen {

using views::TextRole;
using views::insight::InsightTaskKey;
namespace texts = views::insight_texts;

inline QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

// Loading, empty, or what the screen lists: exactly one of the three shows.
inline void showOne(QWidget* loading, QWidget* empty, std::initializer_list<QWidget*> listed, int which) {
    loading->setVisible(which == 0);
    empty->setVisible(which == 1);
    for (QWidget* widget : listed)
        widget->setVisible(which == 2);
}

} // namespace quillmere::insight_screen
