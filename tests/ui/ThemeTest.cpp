#include "ui/Theme.hpp"

#include "UiTestSupport.hpp"
#include "ui/Symbols.hpp"

#include <QFontInfo>
#include <gtest/gtest.h>
#include <set>

using namespace quillmere;
using namespace quillmere::test;
using Palette = Theme::Palette;

namespace {

QColor rgba(int r, int g, int b, qreal a = 1) {
    QColor c(r, g, b);
    c.setAlphaF(float(a));
    return c;
}

void expectColor(const QColor& actual, const QColor& expected) {
    EXPECT_EQ(actual.rgb(), expected.rgb())
        << actual.name().toStdString() << " vs " << expected.name().toStdString();
    EXPECT_NEAR(actual.alphaF(), expected.alphaF(), 0.002);
}

std::vector<QColor> allColours(const Palette& p) {
    const auto& g = p.segmentSelectedGradient;
    return {p.bg1,
            p.bg2,
            p.panel.top,
            p.panel.bottom,
            p.line,
            p.line2,
            p.fill,
            p.ink,
            p.ink2,
            p.ink3,
            p.glow1,
            p.glow2,
            p.panelTopHighlight,
            p.segmentTrack,
            p.segmentTrackBorder,
            p.segmentSelectedText,
            g.start,
            g.end,
            p.ringGlossTop,
            p.ringGlossBottom,
            p.ringHubCenter,
            p.ringHubEdge,
            p.ringHubStroke};
}

} // namespace

TEST(ThemeTest, PalettesCarryTheirOwnValuesAndSelectionFollowsTheScheme) {
    const Palette& dark = Theme::dark();
    const Palette& light = Theme::light();
    EXPECT_EQ(&Theme::palette(true), &dark);
    EXPECT_EQ(&Theme::palette(false), &light);

    expectColor(dark.bg1, rgba(18, 18, 26));
    expectColor(dark.panel.top, rgba(31, 31, 42, 0.9));
    expectColor(dark.panel.bottom, rgba(19, 19, 27, 0.94));
    expectColor(dark.line, rgba(255, 255, 255, 0.085));
    expectColor(dark.segmentSelectedGradient.start, rgba(255, 182, 84, 0.34));
    expectColor(light.panel.top, rgba(255, 255, 255, 0.96));
    expectColor(light.segmentSelectedText, rgba(58, 32, 7));
    expectColor(light.segmentSelectedGradient.end, rgba(255, 174, 78));
    expectColor(light.panelTopHighlight, rgba(255, 255, 255, 0.9));
    expectColor(light.ringHubStroke, rgba(0, 0, 0, 0.1));

    // Every field differs between the schemes (some only in opacity).
    const auto d = allColours(dark);
    const auto l = allColours(light);
    for (std::size_t i = 0; i < d.size(); ++i)
        EXPECT_NE(d[i].rgba64(), l[i].rgba64()) << "field " << i;
}

TEST(ThemeTest, SchemeIsReadFromTheQtPalette) {
    EXPECT_TRUE(Theme::isDark(Theme::qtPalette(true)));
    EXPECT_FALSE(Theme::isDark(Theme::qtPalette(false)));
    QWidget widget;
    widget.setPalette(Theme::qtPalette(true));
    EXPECT_EQ(&Theme::palette(&widget), &Theme::dark());
    widget.setPalette(Theme::qtPalette(false));
    EXPECT_EQ(&Theme::palette(&widget), &Theme::light());
    EXPECT_EQ(Theme::qtPalette(true).color(QPalette::WindowText), Theme::dark().ink);
}

TEST(ThemeTest, CategoryStylesHoldExactlyTheNineIds) {
    std::set<QString> ids;
    for (const auto& [id, style] : Theme::categoryStyles())
        ids.insert(id);
    EXPECT_EQ(ids,
              (std::set<QString>{"apfs-local-snapshots", "time-machine-local-backups", "ios-device-backups",
                                 "xcode-derived-data", "user-caches", "cached-icloud-content",
                                 "system-caches", "mail-downloads", "cant-be-attributed"}));
    const Theme::TileStyle* caches = Theme::categoryStyle("user-caches");
    ASSERT_NE(caches, nullptr);
    expectColor(caches->gradient.start, rgba(249, 113, 108));
    expectColor(caches->gradient.end, rgba(235, 28, 20));
    EXPECT_EQ(caches->symbolName, "shippingbox.fill");
    EXPECT_EQ(Theme::categoryStyle(""), nullptr);
    EXPECT_EQ(Theme::categoryStyle("User-Caches"), nullptr);
}

TEST(ThemeTest, KindStylesCoverEveryKind) {
    EXPECT_EQ(Theme::kindStyles().size(), allFileKinds().size());
    for (FileKind kind : allFileKinds()) {
        const std::string_view name = rawValue(kind);
        const Theme::TileStyle* byKind = Theme::kindStyle(kind);
        ASSERT_NE(byKind, nullptr) << name;
        EXPECT_EQ(Theme::kindStyle(QString::fromLatin1(name.data(), qsizetype(name.size()))), byKind);
    }
    EXPECT_EQ(Theme::kindStyle("notAKind"), nullptr);

    const auto* unexplored = Theme::kindStyle(FileKind::unexplored);
    const auto* other = Theme::kindStyle(FileKind::other);
    const auto* small = Theme::kindStyle(FileKind::smallFiles);
    EXPECT_EQ(unexplored->gradient.start, other->gradient.start);
    EXPECT_NE(unexplored->symbolName, other->symbolName);
    EXPECT_NE(unexplored->gradient.start, small->gradient.start);
    EXPECT_EQ(Theme::kindStyle(FileKind::applications)->gradient.start, Theme::applicationTint());
    expectColor(Theme::kindStyle(FileKind::documents)->gradient.end, rgba(43, 127, 216));
    EXPECT_EQ(Theme::kindStyle(FileKind::virtualMachines)->symbolName, "desktopcomputer");
}

TEST(ThemeTest, FixedColoursMatchTheirEightBitEquivalents) {
    using DiskInsights::AgeBand;
    const std::vector<std::pair<AgeBand, QColor>> bands{{AgeBand::overFiveYears, rgba(168, 138, 40)},
                                                        {AgeBand::twoToFiveYears, rgba(168, 100, 40)},
                                                        {AgeBand::oneToTwoYears, rgba(168, 62, 40)},
                                                        {AgeBand::pastYear, rgba(168, 40, 57)},
                                                        {AgeBand::undated, rgba(117, 114, 130)}};
    EXPECT_EQ(Theme::ageBandColors().size(), 5u);
    for (const auto& [band, expected] : bands)
        EXPECT_TRUE(near(Theme::ageBandColor(band), expected, 1)) << int(band);

    EXPECT_TRUE(near(Theme::accent(true), rgba(240, 168, 60), 1));
    EXPECT_TRUE(near(Theme::accent(false), rgba(224, 138, 30), 1));
    EXPECT_TRUE(near(Theme::warning(true), rgba(229, 103, 92), 1));
    EXPECT_TRUE(near(Theme::warning(false), rgba(149, 50, 42), 1));
    expectColor(Theme::orphanGroupStyle().gradient.start, rgba(140, 240, 168));
    expectColor(Theme::dropTargetStyle().gradient.end, rgba(239, 106, 34));
    expectColor(Theme::actionGradient().start, rgba(255, 192, 105));
    expectColor(Theme::tileShadow(), rgba(0, 0, 0, 0.55));
    EXPECT_EQ(Theme::tileGlossBottom().alpha(), 0);
}

TEST(ThemeTest, EveryStyleSymbolHasAGlyphAndTheUiFontIsInter) {
    std::vector<QString> names{Theme::orphanGroupStyle().symbolName, Theme::dropTargetStyle().symbolName};
    for (const auto& [id, style] : Theme::categoryStyles())
        names.push_back(style.symbolName);
    for (const auto& [kind, style] : Theme::kindStyles())
        names.push_back(style.symbolName);
    for (const QString& name : names)
        EXPECT_TRUE(Symbols::has(name)) << name.toStdString();

    const QFont font = Theme::uiFont(12, QFont::DemiBold);
    EXPECT_EQ(QFontInfo(font).family(), "Inter");
    EXPECT_EQ(QFontInfo(font).pixelSize(), 12);
}

// Glass panel: painted layers checked where they must and must not appear.
class ThemeGlassPanel : public ::testing::Test {
protected:
    const QRectF panel{60, 30, 160, 80};
    QImage paintFull(const Palette& palette, const QColor& background) {
        QImage image(280, 180, QImage::Format_ARGB32_Premultiplied);
        image.fill(background);
        QPainter painter(&image);
        GlassPanel::paint(painter, panel, palette, 12, true);
        return image;
    }
    QImage paintOverlay(qreal radius, bool highlight) {
        QImage image = transparentImage(280, 180);
        QPainter painter(&image);
        GlassPanel::paintOverlay(painter, panel, Theme::dark(), radius, highlight);
        return image;
    }
};

TEST_F(ThemeGlassPanel, FillIsAVerticalGradientThatDiffersBetweenSchemes) {
    const QColor grey(128, 128, 128);
    const QImage dark = paintFull(Theme::dark(), grey);
    const QImage light = paintFull(Theme::light(), grey);
    const int x = int(panel.center().x());
    const QColor darkTop = dark.pixelColor(x, int(panel.top()) + 4);
    const QColor darkBottom = dark.pixelColor(x, int(panel.bottom()) - 4);
    EXPECT_GT(darkTop.lightness(), darkBottom.lightness());
    EXPECT_LT(darkTop.lightness(), 60);
    EXPECT_GT(light.pixelColor(x, int(panel.center().y())).lightness(), 230);
    // Soft shadow: darker beneath the panel than above it, gone far away.
    const QColor below = dark.pixelColor(x, int(panel.bottom()) + 10);
    const QColor above = dark.pixelColor(x, int(panel.top()) - 10);
    EXPECT_LT(below.lightness(), grey.lightness() - 10);
    EXPECT_GT(above.lightness(), below.lightness());
    EXPECT_EQ(dark.pixelColor(5, 5), grey);
}

TEST_F(ThemeGlassPanel, BorderStaysInsideAndHighlightIsInsetByTheRadius) {
    const QImage image = paintOverlay(20, true);
    const int cx = int(panel.center().x());
    const int top = int(panel.top());
    EXPECT_GT(qAlpha(image.pixel(cx, top)), 0);
    EXPECT_EQ(qAlpha(image.pixel(cx, top - 1)), 0);
    EXPECT_GT(qAlpha(image.pixel(int(panel.right()) - 1, int(panel.center().y()))), 0);
    EXPECT_EQ(qAlpha(image.pixel(int(panel.right()), int(panel.center().y()))), 0);
    EXPECT_EQ(qAlpha(image.pixel(cx, int(panel.center().y()))), 0);

    // The highlight row starts 0.6 × radius in from each side.
    const int row = top + 1;
    const int inset = int(20 * 0.6);
    EXPECT_GT(qAlpha(image.pixel(int(panel.left()) + inset + 1, row)), 0);
    EXPECT_EQ(qAlpha(image.pixel(int(panel.left()) + inset - 2, row)), 0);
    EXPECT_EQ(qAlpha(paintOverlay(20, false).pixel(cx, row)), 0);
    EXPECT_GT(qAlpha(paintOverlay(0, true).pixel(int(panel.left()) + 2, row)), 0);
}

TEST_F(ThemeGlassPanel, WidgetKeepsBorderAboveItsChildrenAndRoomForTheShadow) {
    GlassPanel widget(nullptr, 10, false);
    widget.setPalette(Theme::qtPalette(false));
    widget.resize(240, 160);
    const QMarginsF bleed = GlassPanel::shadowBleed();
    EXPECT_EQ(widget.panelRect(), QRectF(widget.rect()).marginsRemoved(bleed));
    EXPECT_GT(bleed.bottom(), bleed.top());

    auto* child = new QWidget(&widget);
    child->setAutoFillBackground(true);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    child->setPalette(red);
    child->setGeometry(widget.rect());
    child->show();
    const QImage image = renderOver(widget, Qt::white);
    const QRectF p = widget.panelRect();
    // The border (black at 0.1 in light) lies over the red child, at the panel's top edge.
    const QColor edge = image.pixelColor(int(p.center().x()), int(p.top()));
    EXPECT_TRUE(near(edge, QColor(229, 0, 0), 3)) << edge.name().toStdString();
    EXPECT_EQ(image.pixelColor(int(p.center().x()), int(p.center().y())), QColor(Qt::red));

    widget.setReservesShadowRoom(false);
    EXPECT_EQ(widget.panelRect(), QRectF(widget.rect()));
    EXPECT_EQ(widget.contentsMargins(), QMargins());
}
