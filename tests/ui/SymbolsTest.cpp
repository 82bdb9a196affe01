#include "ui/Symbols.hpp"

#include "UiTestSupport.hpp"

#include <QRawFont>
#include <QSet>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::test;

namespace {

QImage drawn(const QString& name, qreal size = 0, QSize canvas = QSize(48, 48)) {
    QImage image = transparentImage(canvas.width(), canvas.height());
    QPainter painter(&image);
    Symbols::draw(painter, QRectF(QPointF(0, 0), canvas), name, Qt::red, size);
    return image;
}

// The tabs' and view-mode pills' symbols, which sit side by side.
const QStringList kTopBar{"internaldrive",
                          "questionmark.circle",
                          "square.grid.2x2",
                          "chart.pie.fill",
                          "square.grid.3x2.fill",
                          "list.bullet",
                          "arrow.down.to.line.compact",
                          "square.stack.3d.up.fill",
                          "clock.badge.questionmark",
                          "externaldrive",
                          "arrow.clockwise",
                          "sidebar.trailing",
                          "gearshape"};

} // namespace

TEST(SymbolsTest, EveryMappedGlyphExistsInTheInstalledFont) {
    ASSERT_TRUE(Symbols::fontLoaded());
    const QRawFont font = QRawFont::fromFont(Symbols::font(12));
    ASSERT_TRUE(font.isValid());
    EXPECT_EQ(font.familyName(), Symbols::fontFamily());
    for (const QString& name : Symbols::names())
        EXPECT_TRUE(font.supportsCharacter(Symbols::glyph(name).at(0))) << name.toStdString();
    EXPECT_TRUE(font.supportsCharacter(Symbols::fallbackGlyph().at(0)));
}

TEST(SymbolsTest, TableCoversTheSymbolsTheScreensName) {
    const QStringList used = kTopBar + QStringList{"externaldrive.fill",
                                                   "internaldrive.fill",
                                                   "magnifyingglass",
                                                   "stop.fill",
                                                   "chevron.left",
                                                   "chevron.right",
                                                   "lock.fill",
                                                   "folder",
                                                   "folder.fill",
                                                   "eye",
                                                   "trash",
                                                   "trash.fill",
                                                   "icloud",
                                                   "icloud.fill",
                                                   "doc.on.doc",
                                                   "ellipsis.circle.fill",
                                                   "checkmark.circle.fill",
                                                   "exclamationmark.triangle",
                                                   "exclamationmark.triangle.fill",
                                                   "circle",
                                                   "sparkles",
                                                   "questionmark.folder",
                                                   "xmark.circle.fill",
                                                   "chevron.right.circle.fill",
                                                   "eye.slash",
                                                   "arrow.right",
                                                   "person.2.badge.key.fill",
                                                   "clock.badge.exclamationmark",
                                                   "person.2.slash",
                                                   "checkmark.shield.fill",
                                                   "icloud.slash.fill",
                                                   "folder.badge.questionmark"};
    for (const QString& name : used)
        EXPECT_TRUE(Symbols::has(name)) << name.toStdString();
    EXPECT_EQ(Symbols::names().removeDuplicates(), 0);
    // Filled and outline variants are told apart where the font can.
    EXPECT_NE(Symbols::glyph("folder"), Symbols::glyph("folder.fill"));
    EXPECT_NE(Symbols::glyph("trash"), Symbols::glyph("trash.fill"));
}

TEST(SymbolsTest, TheTopBarsSymbolsAreTellableApart) {
    // Tabs and view-mode pills sit side by side: no two may share a glyph.
    QSet<QString> glyphs;
    for (const QString& name : kTopBar)
        EXPECT_TRUE(Symbols::has(name)) << name.toStdString();
    for (const QString& name : kTopBar)
        glyphs.insert(Symbols::glyph(name));
    EXPECT_EQ(glyphs.size(), kTopBar.size());
    // A drive is drawn as a drive, not as a plug; the untouched clock is whole, not dashed.
    EXPECT_NE(Symbols::fontGlyphName("externaldrive.fill"), "usb");
    EXPECT_NE(Symbols::fontGlyphName("clock.badge.questionmark"), "history_toggle_off");
}

TEST(SymbolsTest, DrawsCentredAtTheRequestedSize) {
    const QImage folder = drawn("folder.fill", 20);
    const QRect ink = inkBounds(folder);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), 24, 2);
    EXPECT_NEAR(ink.center().y(), 24, 2);
    EXPECT_LE(ink.width(), Symbols::boxSide(20));
    EXPECT_GE(ink.width(), Symbols::boxSide(20) * 0.6);
    EXPECT_TRUE(near(folder.pixelColor(ink.center()), Qt::red, 10));

    // Fitting mode fills the rectangle's shorter side.
    const QRect fitted = inkBounds(drawn("folder.fill", 0, QSize(80, 40)));
    EXPECT_GT(fitted.width(), ink.width());
    EXPECT_NEAR(fitted.center().x(), 40, 2);

    EXPECT_NE(drawn("film.fill"), drawn("photo.fill"));
}

TEST(SymbolsTest, UnknownNamesDrawTheNeutralFallback) {
    EXPECT_FALSE(Symbols::has("no.such.symbol"));
    EXPECT_EQ(Symbols::glyph("no.such.symbol"), Symbols::fallbackGlyph());
    EXPECT_TRUE(Symbols::fontGlyphName("no.such.symbol").isEmpty());
    const QImage unknown = drawn("no.such.symbol", 20);
    EXPECT_FALSE(inkBounds(unknown).isEmpty());
    EXPECT_EQ(unknown, drawn("", 20));
    EXPECT_NE(unknown, drawn("folder.fill", 20));

    const QIcon icon = Symbols::icon("gearshape", Qt::blue, 12);
    EXPECT_FALSE(inkBounds(icon.pixmap(QSize(16, 16)).toImage()).isEmpty());
}
