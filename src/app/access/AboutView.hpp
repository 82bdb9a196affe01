#pragma once

#include <QWidget>

class QLabel;

namespace quillmere {

// The About window's content: icon (when the application has one), name, version and what
// Quillmere is, exactly 360 wide, in the appearance's palette.
class AboutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;

    explicit AboutView(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyPalette();
    QLabel* name_;
    QLabel* version_;
    QLabel* description_;
};

} // namespace quillmere
