#include "ui/IconTile.hpp"

#include "UiTestSupport.hpp"

#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::test;

namespace {

constexpr qreal kSide = 40;
const QRectF kTile(20, 10, kSide, kSide);

QImage painted(const IconTile::Kind& kind) {
    QImage image = transparentImage(80, 80);
    QPainter painter(&image);
    IconTile::paint(painter, kTile, kind);
    return image;
}

std::vector<std::pair<std::string, IconTile::Kind>> everyStyledKind() {
    std::vector<std::pair<std::string, IconTile::Kind>> kinds;
    for (FileKind kind : allFileKinds())
        kinds.emplace_back(std::string(rawValue(kind)), IconTile::fileKind(kind));
    for (const auto& [id, style] : Theme::categoryStyles())
        kinds.emplace_back(id.toStdString(), IconTile::systemDataCategory(id));
    kinds.emplace_back("orphan group", IconTile::orphanGroup());
    kinds.emplace_back("drop target", IconTile::dropTarget());
    return kinds;
}

// A point of the face, below the gloss and away from the rim, and its place along the
// top-left to bottom-right diagonal.
const QPoint kLowerRight(int(kTile.left() + kSide * 0.8), int(kTile.top() + kSide * 0.8));
const QPoint kUpperLeft(int(kTile.left() + kSide * 0.2), int(kTile.top() + kSide * 0.62));

qreal diagonal(QPoint p) {
    return ((p.x() + 0.5 - kTile.left()) + (p.y() + 0.5 - kTile.top())) / (2 * kSide);
}

} // namespace

TEST(IconTileTest, StyleFallsBackToTheOrphanGroupForUnknownCategories) {
    EXPECT_EQ(IconTile::style(IconTile::systemDataCategory("no-such-id"))->symbolName, "shoeprints.fill");
    EXPECT_EQ(IconTile::style(IconTile::systemDataCategory(""))->gradient.start,
              Theme::orphanGroupStyle().gradient.start);
    EXPECT_EQ(IconTile::style(IconTile::systemDataCategory("mail-downloads"))->symbolName, "envelope.fill");
    EXPECT_EQ(IconTile::style(IconTile::dropTarget())->symbolName, "square.and.arrow.down.fill");
    EXPECT_EQ(IconTile::style(IconTile::fileKind(FileKind::smallFiles))->symbolName, "circle.grid.3x3.fill");
    EXPECT_FALSE(IconTile::style(IconTile::application(QImage(4, 4, QImage::Format_RGB32))).has_value());

    EXPECT_EQ(painted(IconTile::systemDataCategory("no-such-id")), painted(IconTile::orphanGroup()));
    EXPECT_NE(painted(IconTile::fileKind(FileKind::unexplored)),
              painted(IconTile::fileKind(FileKind::smallFiles)));
    EXPECT_NE(painted(IconTile::fileKind(FileKind::unexplored)),
              painted(IconTile::fileKind(FileKind::other)));
}

TEST(IconTileTest, EveryKindAndCategoryPaintsItsDiagonalGradientAndAWhiteSymbol) {
    for (const auto& [name, kind] : everyStyledKind()) {
        SCOPED_TRACE(name);
        const QImage image = painted(kind);
        const auto style = *IconTile::style(kind);
        for (QPoint spot : {kLowerRight, kUpperLeft}) {
            const QColor expected = mix(style.gradient.start, style.gradient.end, diagonal(spot));
            EXPECT_TRUE(near(image.pixelColor(spot), expected, 6))
                << image.pixelColor(spot).name().toStdString() << " vs " << expected.name().toStdString();
        }
        // The symbol: white ink in the middle of the face.
        const QRect middle =
            QRectF(kTile.center() - QPointF(kSide * 0.25, kSide * 0.25), QSizeF(kSide * 0.5, kSide * 0.5))
                .toRect();
        EXPECT_GT(
            countPixels(image, middle, [](QColor c) { return c.alpha() == 255 && near(c, Qt::white, 25); }),
            20);
    }
}

TEST(IconTileTest, FinishHasGlossRoundedCornersAndAShadowBelow) {
    const QImage image = painted(IconTile::fileKind(FileKind::documents));
    const auto style = *Theme::kindStyle(FileKind::documents);
    // The gloss lightens the top of the face over the plain gradient.
    const QPoint top(int(kTile.left() + kSide * 0.15), int(kTile.top() + kSide * 0.15));
    const QColor plain = mix(style.gradient.start, style.gradient.end, diagonal(top));
    EXPECT_GT(image.pixelColor(top).lightness(), plain.lightness() + 10);

    // Corner cut off; the shadow is black and reaches further below than above.
    const QColor corner = image.pixelColor(int(kTile.left()), int(kTile.top()));
    EXPECT_LT(corner.alpha(), 60);
    const QColor below = image.pixelColor(int(kTile.center().x()), int(kTile.bottom() + kSide * 0.12));
    const QColor above = image.pixelColor(int(kTile.center().x()), int(kTile.top() - 3));
    EXPECT_GT(below.alpha(), 60);
    EXPECT_LT(below.value(), 5);
    EXPECT_GT(below.alpha(), above.alpha() + 40);
}

TEST(IconTileTest, MeasuresScaleWithTheSide) {
    EXPECT_DOUBLE_EQ(IconTile::rimWidth(20), 0.75);
    EXPECT_NEAR(IconTile::rimWidth(40), 1.2, 1e-9);
    EXPECT_DOUBLE_EQ(IconTile::cornerRadius(50), 13);
    EXPECT_DOUBLE_EQ(IconTile::symbolSize(50), 22);
    EXPECT_DOUBLE_EQ(IconTile::shadowBlur(50), 10);
    EXPECT_NEAR(IconTile::shadowOffset(50), 7, 1e-9);

    // The rim: a bright line just inside the top edge, none at the bottom edge.
    const QImage image = painted(IconTile::fileKind(FileKind::videos));
    const int x = int(kTile.center().x());
    EXPECT_GT(image.pixelColor(x, int(kTile.top())).lightness(),
              image.pixelColor(x, int(kTile.top()) + 3).lightness());
}

TEST(IconTileTest, ApplicationImageCoversTheSquareKeepingItsProportions) {
    // 2:1 image: green outer quarters, red and blue middle halves. Covering the square
    // shows only the middle.
    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(Qt::green);
    QPainter(&wide).fillRect(50, 0, 50, 100, Qt::red);
    QPainter(&wide).fillRect(100, 0, 50, 100, Qt::blue);
    const QImage image = painted(IconTile::application(wide));
    const int y = int(kTile.top() + kSide * 0.75);
    EXPECT_TRUE(near(image.pixelColor(int(kTile.left() + kSide * 0.25), y), Qt::red, 8));
    EXPECT_TRUE(near(image.pixelColor(int(kTile.left() + kSide * 0.75), y), Qt::blue, 8));
    EXPECT_EQ(countPixels(image, kTile.toRect(), [](QColor c) { return c.green() > 200 && c.red() < 80; }),
              0);
}

TEST(IconTileTest, WidgetReservesRoomForTheShadowUnlessToldNot) {
    IconTile tile(IconTile::fileKind(FileKind::audio), 40);
    const QMarginsF bleed = IconTile::shadowBleed(40);
    EXPECT_EQ(tile.sizeHint(), QSize(int(std::ceil(40 + bleed.left() + bleed.right())),
                                     int(std::ceil(40 + bleed.top() + bleed.bottom()))));
    tile.resize(tile.sizeHint());
    const QRectF face = tile.tileRect();
    EXPECT_EQ(face.size(), QSizeF(40, 40));
    const QImage image = renderOver(tile, Qt::white);
    const auto style = *Theme::kindStyle(FileKind::audio);
    const QPoint spot(int(face.left() + 32), int(face.top() + 32));
    EXPECT_TRUE(near(image.pixelColor(spot), mix(style.gradient.start, style.gradient.end, 32.5 / 40), 6));

    tile.setReservesShadowRoom(false);
    EXPECT_EQ(tile.sizeHint(), QSize(40, 40));
    tile.resize(40, 40);
    EXPECT_EQ(tile.tileRect(), QRectF(0, 0, 40, 40));
}
