#include "ui/Transitions.hpp"

#include <QShowEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

// A screen whose show handler changes the screens, as the disk map's does when it applies the
// saved scan: the layer being faded in is faded again from inside its own show.
class RefadingWidget : public QWidget {
protected:
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (refaded_) return;
        refaded_ = true;
        transitions::setLayerShown(this, false);
    }

private:
    bool refaded_ = false;
};

TEST(Transitions, AFadeStartedFromTheWidgetsOwnShowWinsAndLeavesNothingDangling) {
    RefadingWidget widget;
    widget.resize(40, 40);
    widget.hide();
    transitions::fadeIn(&widget);
    EXPECT_FALSE(transitions::isLayerShown(&widget));
    EXPECT_TRUE(QTest::qWaitFor([&] { return widget.isHidden() && !widget.graphicsEffect(); }, 20000));
}

TEST(Transitions, ALayerFadesOutAndBackInToItsLastRequest) {
    QWidget widget;
    widget.resize(40, 40);
    widget.show();
    transitions::setLayerShown(&widget, false);
    EXPECT_FALSE(transitions::isLayerShown(&widget));
    transitions::setLayerShown(&widget, true);
    EXPECT_TRUE(transitions::isLayerShown(&widget));
    // The fade ends by taking its effect away, shown or hidden.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.graphicsEffect(); }, 20000));
    EXPECT_TRUE(widget.isVisible());
}

} // namespace
} // namespace quillmere
