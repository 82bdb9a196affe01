#pragma once

#include <QWidget>

class QVariantAnimation;

namespace quillmere {

// The small spinning progress indicator: twelve spokes, the brightest turning once a second.
// It turns only while shown, so a hidden indicator costs nothing.
class SmallProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit SmallProgressIndicator(QWidget* parent = nullptr);

    static constexpr int kSide = 16;
    QSize sizeHint() const override { return {kSide, kSide}; }
    // The spoke that is brightest now (0 to 11), for tests.
    int leadingSpoke() const { return step_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QVariantAnimation* turn_;
    int step_ = 0;
};

} // namespace quillmere
