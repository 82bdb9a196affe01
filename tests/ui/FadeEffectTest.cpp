#include "ui/FadeEffect.hpp"

#include "ui/WidgetPicture.hpp"

#include <QGraphicsOpacityEffect>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

// A panel with a child over part of it and a corner it leaves transparent, inside a parent
// that paints a solid backdrop: what a fading screen looks like to the window.
class Filled : public QWidget {
public:
    Filled(QWidget* parent, QColor colour, QRectF area) : QWidget(parent), colour(colour), area(area) {}
    QColor colour;
    QRectF area;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(area, colour);
    }
};

struct Scene {
    QWidget window;
    Filled* backdrop = new Filled(&window, QColor(20, 60, 200), QRectF(0, 0, 80, 60));
    Filled* panel = new Filled(&window, QColor(230, 120, 30), QRectF(0, 0, 50, 40));
    // Edges on half points: only a picture at the screen's own pixels draws them sharp.
    Filled* child = new Filled(panel, QColor(40, 200, 90), QRectF(0.5, 0.5, 15, 7.5));

    Scene() {
        window.resize(80, 60);
        backdrop->setGeometry(0, 0, 80, 60);
        panel->setGeometry(13, 7, 60, 45);
        child->setGeometry(5, 30, 20, 10);
    }

    QImage shot(qreal ratio) {
        QImage image((QSizeF(window.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::black);
        window.render(&image);
        return image;
    }
};

// What the panel looks like in the window under a plain opacity effect.
QImage underPlainEffect(Scene& scene, qreal opacity, qreal ratio) {
    auto* plain = new QGraphicsOpacityEffect(scene.panel);
    plain->setOpacity(opacity);
    scene.panel->setGraphicsEffect(plain); // any effect before is deleted
    return scene.shot(ratio);
}

TEST(FadeEffect, LooksAsAPlainOpacityEffectAt1xAnd2xAndFollowsChangesBetweenFrames) {
    for (const qreal ratio : {1.0, 2.0}) {
        for (const qreal opacity : {0.0, 0.4, 1.0}) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", opacity " << opacity);
            Scene scene;
            const QImage expected = underPlainEffect(scene, opacity, ratio);
            auto* fade = new FadeEffect(scene.panel);
            fade->setOpacity(opacity);
            scene.panel->setGraphicsEffect(fade);
            EXPECT_EQ(scene.shot(ratio), expected);

            // A change inside the panel and a new size between frames are shown, not an old
            // picture.
            scene.child->colour = QColor(250, 250, 250);
            scene.panel->setGeometry(13, 7, 40, 45);
            const QImage changed = scene.shot(ratio);
            EXPECT_EQ(changed, underPlainEffect(scene, opacity, ratio));
        }
    }
    FadeEffect held(nullptr);
    held.setOpacity(-3);
    EXPECT_EQ(held.opacity(), 0.0);
    held.setOpacity(7);
    EXPECT_EQ(held.opacity(), 1.0);
}

QWidget* solid(QWidget& widget, QSize size, QColor colour) {
    widget.resize(size);
    widget.setAutoFillBackground(true);
    widget.setPalette(QPalette(colour));
    return &widget;
}

TEST(WidgetPicture, MemoryGivenUpIsTakenAgainByAScreenNeverByTwoPicturesAtOnceNorByASmallOne) {
    // Screens at 2x: 2,000 by 1,400 pixels, 11 MB each.
    QWidget red;
    QWidget blue;
    QWidget small;
    solid(red, {1000, 700}, QColor(255, 0, 0));
    solid(blue, {1000, 700}, QColor(0, 0, 255));
    solid(small, {360, 72}, QColor(0, 255, 0));

    const uchar* first = nullptr;
    {
        WidgetPicture picture;
        first = picture.draw(red, 2).constBits();
    }
    // A progress bar's picture leaves the screen's memory for the next screen.
    WidgetPicture bar;
    EXPECT_NE(bar.draw(small, 2).constBits(), first);
    EXPECT_EQ(bar.draw(small, 2).pixelColor(719, 143), QColor(0, 255, 0));

    WidgetPicture a;
    WidgetPicture b;
    const QImage& ofRed = a.draw(red, 2);
    const QImage& ofBlue = b.draw(blue, 2);
    // The block given up comes back (another may have been made meanwhile for the next one).
    EXPECT_TRUE(ofRed.constBits() == first || ofBlue.constBits() == first);
    EXPECT_NE(ofRed.constBits(), ofBlue.constBits());
    EXPECT_EQ(ofRed.size(), QSize(2000, 1400));
    EXPECT_EQ(ofRed.pixelColor(1999, 1399), QColor(255, 0, 0));
    EXPECT_EQ(ofBlue.pixelColor(0, 0), QColor(0, 0, 255));

    QWidget empty;
    empty.resize(0, 10);
    EXPECT_TRUE(WidgetPicture().draw(empty, 1).isNull());
}

} // namespace
} // namespace quillmere
