#include "app/ApplicationIdentity.hpp"

#include "app/access/AboutView.hpp"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

// The window icon is process-wide: put back what the other tests expect.
struct PresentedToDesktop {
    PresentedToDesktop() { presentApplicationToDesktop(); }
    ~PresentedToDesktop() {
        QGuiApplication::setWindowIcon(QIcon());
        QGuiApplication::setDesktopFileName(QString());
    }
};

bool isAmberToRed(const QColor& color) {
    const int hue = color.hsvHue();
    return color.hsvSaturation() > 150 && (hue <= 50 || hue >= 340);
}

TEST(ApplicationIdentity, WindowsAndAboutCarryTheIconAndNameTheDesktopEntry) {
    const PresentedToDesktop presented;
    EXPECT_EQ(QGuiApplication::desktopFileName(), QString("com.quillmere.app"));

    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    // Each size a desktop asks a window for is a drawing of its own, not another one scaled.
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(side, side))) << side;

    // The Rings view in small: a dark hub, the accent gauge at twelve o'clock, amber rings.
    const QImage image = icon.pixmap(QSize(48, 48), 1.0).toImage();
    ASSERT_EQ(image.size(), QSize(48, 48));
    EXPECT_LT(image.pixelColor(24, 24).lightness(), 40);
    const QColor gauge = image.pixelColor(24, 3);
    EXPECT_TRUE(isAmberToRed(gauge) && gauge.value() > 200) << gauge.name().toStdString();
    EXPECT_TRUE(isAmberToRed(image.pixelColor(32, 24))) << image.pixelColor(32, 24).name().toStdString();
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);

    AboutView about;
    const auto* shown = about.findChild<QLabel*>("applicationIcon");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->size(), QSize(96, 96));
    EXPECT_FALSE(shown->pixmap().isNull());
}

} // namespace
} // namespace quillmere
