#include "ui/ScaleFadeEffect.hpp"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

// A solid square that counts how often it is drawn.
class Square : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;
    QColor colour{200, 40, 40};

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), colour);
    }
};

struct Scene {
    QWidget parent;
    Square* square = new Square(&parent);
    ScaleFadeEffect* effect = new ScaleFadeEffect(square);

    Scene() {
        parent.resize(60, 60);
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::white);
        parent.setPalette(palette);
        square->setGeometry(0, 0, 60, 60);
        square->setGraphicsEffect(effect);
    }

    QColor centreAt(qreal progress) {
        effect->setProgress(progress);
        QImage image(parent.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        parent.render(&image);
        return image.pixelColor(30, 30);
    }
};

TEST(ScaleFadeEffect, TheEndsShowNothingAndTheWidgetAsItIsAndTheMiddleBlends) {
    Scene scene;
    // Transparent: the widget is not even drawn off screen.
    EXPECT_EQ(scene.centreAt(0), QColor(Qt::white));
    EXPECT_EQ(scene.square->paints, 0);

    EXPECT_EQ(scene.centreAt(1), QColor(200, 40, 40));

    // A hair from either end, where a transition's first frame falls, is drawn as that end.
    EXPECT_EQ(scene.centreAt(1 - 1.0 / 1024), QColor(200, 40, 40));
    const int paintsAtTheEnds = scene.square->paints;
    EXPECT_EQ(scene.centreAt(1.0 / 1024), QColor(Qt::white));
    EXPECT_EQ(scene.square->paints, paintsAtTheEnds);

    const QColor half = scene.centreAt(0.5);
    EXPECT_GT(half.green(), 40);
    EXPECT_LT(half.green(), 255);
    EXPECT_EQ(half.red(), 228); // 200 over white at half opacity
}

TEST(ScaleFadeEffect, AViewOnItsWayOutFadesAsItWasDrawnFirstUntilItsSizeChanges) {
    for (const bool heldStill : {true, false}) {
        SCOPED_TRACE(heldStill ? "going out" : "coming in");
        Scene scene;
        // The frames below are drawn by hand; the animation's own clock never ticks here.
        animateScaleFade(scene.square, !heldStill, 60'000);
        scene.effect = static_cast<ScaleFadeEffect*>(scene.square->graphicsEffect());
        const QColor red = scene.centreAt(0.5);
        EXPECT_EQ(scene.square->paints, 1);

        // A change inside the view: one coming in shows it, one going out fades unchanged.
        scene.square->colour = QColor(40, 40, 200);
        scene.square->update();
        const QColor afterChange = scene.centreAt(0.5);
        if (heldStill) {
            EXPECT_EQ(afterChange, red);
            EXPECT_EQ(scene.square->paints, 1);
        } else {
            EXPECT_EQ(afterChange.blue(), 228);
        }

        // A new size (the window resized during the fade) is drawn anew either way.
        scene.square->setGeometry(0, 0, 50, 50);
        EXPECT_EQ(scene.centreAt(0.5).blue(), 228);
    }
}

} // namespace
} // namespace quillmere
