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
    for (int waited = 0; !widget.isHidden() && waited < 2000; waited += 20)
        QTest::qWait(20);
    EXPECT_TRUE(widget.isHidden());
    EXPECT_EQ(widget.graphicsEffect(), nullptr);
}

TEST(Transitions, ALayerFadesOutAndBackInToItsLastRequest) {
    QWidget widget;
    widget.resize(40, 40);
    widget.show();
    transitions::setLayerShown(&widget, false);
    EXPECT_FALSE(transitions::isLayerShown(&widget));
    transitions::setLayerShown(&widget, true);
    EXPECT_TRUE(transitions::isLayerShown(&widget));
    QTest::qWait(600);
    EXPECT_TRUE(widget.isVisible());
    EXPECT_EQ(widget.graphicsEffect(), nullptr);
}

} // namespace
} // namespace quillmere
