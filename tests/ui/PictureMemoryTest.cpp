#include "ui/PictureMemory.hpp"

#include "ui/WidgetPicture.hpp"

#include <QWidget>
#include <cstdint>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

bool onHugePageBoundary(const QImage& picture) {
    return reinterpret_cast<std::uintptr_t>(picture.constBits()) % (std::uintptr_t{2} << 20) == 0;
}

TEST(PictureMemory, APictureOfItsOwnLiesInHugePagesAndNeverTakesTheMemoryAScreenGaveBack) {
    // A screen at 2x, 11 MB, given back for the next transition to take.
    QWidget screen;
    screen.resize(1000, 700);
    screen.setAutoFillBackground(true);
    screen.setPalette(QPalette(QColor(255, 0, 0)));
    const uchar* given = nullptr;
    {
        WidgetPicture picture;
        given = picture.draw(screen, 2).constBits();
    }

    // A map's picture drawn on a worker meanwhile: memory of its own, whole and writable.
    {
        QImage own = blankPicture({1400, 1400}, 2, PictureSource::own);
        ASSERT_FALSE(own.isNull());
        EXPECT_NE(own.constBits(), given);
        EXPECT_TRUE(onHugePageBoundary(own));
        EXPECT_EQ(own.size(), QSize(1400, 1400));
        EXPECT_EQ(own.devicePixelRatio(), 2);
        own.fill(QColor(0, 0, 255));
        EXPECT_EQ(own.pixelColor(1399, 1399), QColor(0, 0, 255));
        // A copy changed apart leaves the picture as it was.
        QImage copy = own;
        copy.setPixelColor(0, 0, QColor(0, 255, 0));
        EXPECT_EQ(own.pixelColor(0, 0), QColor(0, 0, 255));
    }

    // The screen's memory is still there for the next transition (a spare may have been made
    // meanwhile, so either of two screens may take it).
    WidgetPicture a;
    WidgetPicture b;
    const uchar* first = a.draw(screen, 2).constBits();
    const uchar* second = b.draw(screen, 2).constBits();
    EXPECT_TRUE(first == given || second == given);

    // Small pictures come from the ordinary heap, where a first touch costs little.
    const QImage small = blankPicture({360, 72}, 2, PictureSource::own);
    EXPECT_EQ(small.size(), QSize(360, 72));
    EXPECT_FALSE(onHugePageBoundary(small));
}

} // namespace
} // namespace quillmere
