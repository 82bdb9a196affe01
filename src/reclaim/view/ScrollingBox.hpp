#pragma once

#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace quillmere {

// A rounded box whose contents scroll inside at most 220 points, so a long list never pushes
// the buttons below it off the screen. Two looks: the confirm list (window background with a
// hairline border) and the failure list (a faint warning tint with a 10-point inset).
class ScrollingBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxHeight = 220;
    enum class Look { list, warning };
    ScrollingBox(Look look, int spacing, QWidget* parent = nullptr);

    void addWidget(QWidget* widget);
    QScrollArea* scrollArea() const { return scroll_; }
    QWidget* content() const { return content_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int contentHeight(int width) const;
    Look look_;
    QScrollArea* scroll_;
    QWidget* content_;
    QVBoxLayout* layout_;
};

} // namespace quillmere
