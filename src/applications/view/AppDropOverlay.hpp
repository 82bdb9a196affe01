#pragma once

#include <QWidget>

namespace quillmere {

// The card over the screen while an application is dragged over it. It never takes mouse or
// drop events, so the drop reaches the screen beneath.
class AppDropOverlay : public QWidget {
    Q_OBJECT
public:
    explicit AppDropOverlay(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace quillmere
