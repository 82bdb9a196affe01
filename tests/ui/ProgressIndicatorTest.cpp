#include "ui/ProgressIndicator.hpp"

#include "UiTestSupport.hpp"
#include "ui/Theme.hpp"

#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using Look = ProgressIndicator::Look;

QImage frame(ProgressIndicator& indicator) {
    return test::renderOver(indicator, Qt::white);
}

TEST(ProgressIndicator, TurnsOnlyWhileShownAndNotHeldStill) {
    for (const Look& look : {Look::spokes(), Look::arc(18)}) {
        ProgressIndicator indicator(look);
        EXPECT_FALSE(indicator.isTurning());
        indicator.show();
        EXPECT_TRUE(indicator.isTurning());
        indicator.setHeldStill(true);
        EXPECT_FALSE(indicator.isTurning());
        indicator.hide();
        indicator.show();
        EXPECT_FALSE(indicator.isTurning()) << "held still across being hidden and shown again";
        indicator.setHeldStill(false);
        EXPECT_TRUE(indicator.isTurning());
        indicator.hide();
        EXPECT_FALSE(indicator.isTurning());
    }
}

TEST(ProgressIndicator, MovesWhileTurningAndHeldStillShowsItsRestingFrame) {
    for (const Look& look : {Look::spokes(), Look::arc(18)}) {
        ProgressIndicator indicator(look);
        indicator.setPalette(Theme::qtPalette(false));
        indicator.resize(indicator.sizeHint());
        const QImage resting = frame(indicator);
        indicator.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return frame(indicator) != resting; }, 30000));
        indicator.setHeldStill(true);
        EXPECT_EQ(frame(indicator), resting);
    }
}

TEST(ProgressIndicator, DrawsItsSideCentredInWhateverRoomItIsGiven) {
    ProgressIndicator indicator(Look::arc(22));
    EXPECT_EQ(indicator.sizeHint(), QSize(22, 22));
    indicator.setPalette(Theme::qtPalette(true));
    indicator.resize(101, 30);
    QImage image = test::transparentImage(101, 30);
    indicator.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    const QRect ink = test::inkBounds(image);
    EXPECT_NEAR(ink.center().x(), 50, 1);
    EXPECT_NEAR(ink.center().y(), 14.5, 1);
    EXPECT_LE(ink.width(), 23);
    EXPECT_LE(ink.height(), 23);
}

} // namespace
} // namespace quillmere
