#include "views/widgets/SunburstView.hpp"

#include "ui/Painting.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/Tooltip.hpp"
#include "views/ViewsTestSupport.hpp"
#include "views/widgets/RecordingDevice.hpp"
#include "views/widgets/SunburstPainter.hpp"
#include "views/widgets/SunburstPicture.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <tuple>

namespace quillmere {
namespace {

using namespace std::chrono_literals;
using views::test::aggregate;
using views::test::file;
using views::test::folder;

// /r: a (folder 600: sub 400 with one file, f 200), b (file 300), an aggregate of 100 and 60
// one-byte files pooled into "60 more".
FileNode sampleTree() {
    std::vector<FileNode> children{
        folder("/r/a", {folder("/r/a/sub", {file("/r/a/sub/x", 400)}), file("/r/a/f", 200)}),
        file("/r/b", 300),
        aggregate("/r/(small)", 100),
    };
    for (int i = 0; i < 60; ++i)
        children.push_back(file("/r/t" + std::to_string(i), 1));
    return folder("/r", children);
}

SunburstInputs inputsFor(const FileNode& root, std::optional<std::string> parent = {},
                         int64_t capacity = 10'000) {
    SunburstInputs inputs;
    inputs.root = root;
    inputs.volumeName = "Disk";
    inputs.layout = views::makeSunburstLayout(root, {"Disk", capacity, parent ? 2u : 1u, false},
                                              reference_text::measurer());
    inputs.volumeTotalCapacityBytes = inputs.layout.totalCapacityBytes;
    inputs.parentName = std::move(parent);
    return inputs;
}

struct Recorder {
    std::vector<std::string> selected;
    std::vector<std::vector<std::string>> drilled;
    int wentUp = 0;
    SunburstActions actions() {
        return {[this](const std::vector<FileNode>& chain) {
                    std::vector<std::string> paths;
                    for (const auto& n : chain)
                        paths.push_back(n.path());
                    drilled.push_back(paths);
                },
                [this](const FileNode& node) { selected.push_back(node.path()); }, [this] { ++wentUp; }};
    }
};

// A square view at scale 1, its clock in the test's hands.
struct Harness {
    Recorder recorder;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 100s;
    SunburstView view;
    explicit Harness(SunburstInputs inputs, QSize size = {520, 520})
        : view(std::move(inputs), recorder.actions()) {
        view.resize(size);
        view.setClock([this] { return now; });
        view.setReducedMotionSource([] { return true; });
    }
    QPointF at(double fraction, double radius) const {
        const auto rect = view.canvasRect();
        const auto p = views::SunburstFrame::of({rect.width(), rect.height()}).pointAt(fraction, radius);
        return view.toWidget(p);
    }
    void send(QEvent::Type type, QPointF position) {
        QMouseEvent event(type, position, view.mapToGlobal(position), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    void click(QPointF position, QPointF moveBy = {}, bool asDoubleClickEvent = false) {
        send(asDoubleClickEvent ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, position);
        send(QEvent::MouseButtonRelease, position + moveBy);
        now += 100ms;
    }
    void move(QPointF position) {
        QMouseEvent event(QEvent::MouseMove, position, view.mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
};

TEST(SunburstViewClicks, ADoubleClickOnAFolderSelectsTwiceAndDrillsOnceWithItsAncestors) {
    Harness h(inputsFor(sampleTree()));
    const QPointF sub = h.at(0.1, 160); // ring 1: /r/a/sub
    h.click(sub);
    h.click(sub, {}, true);
    EXPECT_EQ(h.recorder.selected, (std::vector<std::string>{"/r/a/sub", "/r/a/sub"}));
    ASSERT_EQ(h.recorder.drilled.size(), 1u);
    EXPECT_EQ(h.recorder.drilled[0], (std::vector<std::string>{"/r/a", "/r/a/sub"}));
    // A third click starts over.
    h.click(sub);
    EXPECT_EQ(h.recorder.drilled.size(), 1u);
    EXPECT_EQ(h.recorder.selected.size(), 3u);
}

TEST(SunburstViewClicks, FilesAreOnlySelectedAndClicksOnTwoArcsAreTwoSingles) {
    Harness h(inputsFor(sampleTree()));
    const QPointF b = h.at(0.7, 104);
    h.click(b);
    h.click(b);
    EXPECT_EQ(h.recorder.selected, (std::vector<std::string>{"/r/b", "/r/b"}));
    EXPECT_TRUE(h.recorder.drilled.empty());

    const QPointF a = h.at(0.2, 104);
    h.click(a);
    h.click(b);
    EXPECT_TRUE(h.recorder.drilled.empty());
    // Too slow: two singles as well.
    h.click(a);
    h.now += 2s;
    h.click(a);
    EXPECT_TRUE(h.recorder.drilled.empty());
    EXPECT_EQ(h.recorder.selected.size(), 6u);
}

TEST(SunburstViewClicks, DragsTheHubAtTheTopAndPooledOrAggregateArcsDoNothing) {
    Harness h(inputsFor(sampleTree()));
    const QPointF a = h.at(0.2, 104);
    h.click(a, {7, 0});
    EXPECT_TRUE(h.recorder.selected.empty());
    h.click(a, {6, 0});
    EXPECT_EQ(h.recorder.selected.size(), 1u);

    h.click(h.at(0, 0));
    EXPECT_EQ(h.recorder.wentUp, 0);
    // The pooled arc sits at the end of the turn, the aggregate before it; neither touches the
    // click record, so a following click on a completes the double click.
    const auto& segments = h.view.inputs().layout.segments;
    const auto& pooled = segments.back();
    ASSERT_TRUE(pooled.isOverflow);
    h.click(h.at((pooled.startFraction + pooled.endFraction) / 2, 104));
    h.click(h.at(0.87, 104));
    EXPECT_EQ(h.recorder.selected.size(), 1u);
    h.click(a);
    EXPECT_EQ(h.recorder.drilled.size(), 1u);

    Harness below(inputsFor(*sampleTree().find("/r/a"), std::string("Disk")));
    below.click(below.at(0.3, 40));
    EXPECT_EQ(below.recorder.wentUp, 1);
    EXPECT_TRUE(below.recorder.selected.empty());
}

TEST(SunburstViewClicks, ClicksHitTheRightArcAfterARecenter) {
    SunburstInputs inputs = inputsFor(sampleTree());
    Harness h(inputs, {1000, 600});
    inputs.selectedPath = "/r/b";
    inputs.detailsPanelInset = 334;
    h.view.setInputs(inputs);
    ASSERT_NE(h.view.panOffset(), QPointF());
    // b's anchor now lies in the middle of the uncovered part.
    const auto& segments = h.view.inputs().layout.segments;
    const auto& b = *std::find_if(segments.begin(), segments.end(),
                                  [](const auto& s) { return s.node && s.node->path() == "/r/b"; });
    const QPointF anchor = h.at((b.startFraction + b.endFraction) / 2, 104);
    EXPECT_NEAR(anchor.x(), (1000 - 334) / 2.0, 0.5);
    EXPECT_NEAR(anchor.y(), 300, 0.5);
    h.click(anchor);
    EXPECT_EQ(h.recorder.selected, (std::vector<std::string>{"/r/b"}));
    h.click(h.at(0.2, 104));
    EXPECT_EQ(h.recorder.selected.back(), "/r/a");

    // Selection gone: back to the centre.
    inputs.selectedPath.reset();
    h.view.setInputs(inputs);
    EXPECT_EQ(h.view.panOffset(), QPointF());
}

TEST(SunburstViewHover, TheGaugeHoversOnlyWhileDrawnAndLeavingClearsEverything) {
    Harness h(inputsFor(sampleTree()));
    h.move(h.at(0.9, 243));
    EXPECT_TRUE(h.view.isHoveringCapacityGauge());
    ASSERT_TRUE(h.view.tooltipContent());
    EXPECT_EQ(h.view.tooltipContent()->lines[0].text, "9 KB free");
    h.move(h.at(0.2, 104));
    EXPECT_EQ(h.view.hoveredSegmentID(), "root/0");
    EXPECT_FALSE(h.view.isHoveringCapacityGauge());
    EXPECT_EQ(h.view.tooltipContent()->lines[0].text, "a");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&h.view, &leave);
    EXPECT_FALSE(h.view.hoveredSegmentID());
    EXPECT_FALSE(h.view.tooltipContent());

    SunburstInputs scanning = inputsFor(sampleTree());
    scanning.layout.isScanningNow = true;
    Harness during(scanning);
    during.move(during.at(0.9, 243));
    EXPECT_FALSE(during.view.isHoveringCapacityGauge());
    EXPECT_FALSE(during.view.tooltipContent());
}

TEST(SunburstViewTransition, FallsAnimateGrowthDoesNotAndReduceMotionEndsAtOnce) {
    const FileNode before =
        folder("/r", {folder("/r/a", {file("/r/a/x", 500)}), folder("/r/b", {file("/r/b/y", 300)})});
    const FileNode after = folder("/r", {folder("/r/a", {file("/r/a/x", 500)})});
    SunburstView view(inputsFor(before), {});
    view.resize(520, 520);
    view.setReducedMotionSource([] { return false; });
    view.setInputs(inputsFor(after));
    EXPECT_TRUE(view.isTransitionRunning());
    EXPECT_LT(view.deletionProgress(), 1);
    view.setInputs(inputsFor(before));
    view.setReducedMotionSource([] { return true; });
    view.setInputs(inputsFor(after));
    EXPECT_FALSE(view.isTransitionRunning());
    EXPECT_EQ(view.deletionProgress(), 1);
}

// --- Drawing -------------------------------------------------------------------------------

QImage renderView(SunburstView& view, bool dark = false) {
    view.setPalette(Theme::qtPalette(dark));
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Theme::palette(dark).bg1);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(QColor a, QColor b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST(SunburstViewRendering, FillsAreTheirHsvColourAndTheHoveredArcIsBrighter) {
    // One arc all round: its label sits at 6 o'clock, the gloss is clear at 3 o'clock.
    const FileNode root = folder("/r", {file("/r/only", 500)});
    Harness h(inputsFor(root));
    const auto& arc = h.view.inputs().layout.segments.at(0);
    const QPoint east = h.at(0.25, 104).toPoint();
    const QColor plain = renderView(h.view).pixelColor(east);
    EXPECT_TRUE(
        near(plain, QColor::fromHsvF(float(arc.hue / 360), float(arc.saturation), float(arc.brightness))))
        << plain.name().toStdString();
    h.move(h.at(0.25, 104));
    const QColor hovered = renderView(h.view).pixelColor(east);
    EXPECT_TRUE(near(
        hovered, QColor::fromHsvF(float(arc.hue / 360), float(arc.saturation), float(arc.brightness + 0.05))))
        << hovered.name().toStdString();
    EXPECT_GT(hovered.value(), plain.value());

    // Hues below 0 wrap round.
    views::SunburstSegment crimson = arc;
    crimson.hue = -8;
    EXPECT_EQ(sunburstArcColor(crimson).hsvHue(), 352);
}

TEST(SunburstViewRendering, EveryArcTakesTheGlossLightAboveAndDarkBelow) {
    // Eight equal folders, each a folder holding one file: on the outer ring, two files meet
    // at twelve o'clock, where the gloss is lightest, and two at six, where it is darkest. Each
    // is looked at near that meeting, away from labels and the seam.
    std::vector<FileNode> folders;
    for (int i = 0; i < 8; ++i) {
        const std::string top = "/r/d" + std::to_string(i);
        folders.push_back(folder(top, {folder(top + "/e", {file(top + "/e/f", 100)})}));
    }
    for (const bool dark : {false, true}) {
        Harness h(inputsFor(folder("/r", folders)));
        const QImage image = renderView(h.view, dark);
        std::vector<views::SunburstSegment> files;
        for (const auto& arc : h.view.inputs().layout.segments)
            if (arc.ring == 2) files.push_back(arc);
        ASSERT_EQ(files.size(), 8u);
        for (const auto& [index, fraction, lighter] :
             {std::tuple{0, 0.01, true}, {7, 0.99, true}, {3, 0.49, false}, {4, 0.51, false}}) {
            const auto sum = [](QColor c) { return c.red() + c.green() + c.blue(); };
            const int plain = sum(sunburstArcColor(files.at(index)));
            const int shown = sum(image.pixelColor(h.at(fraction, 226).toPoint()));
            if (lighter)
                EXPECT_GT(shown, plain + 8) << index << (dark ? " dark" : " light");
            else
                EXPECT_LT(shown, plain - 8) << index << (dark ? " dark" : " light");
        }
    }
}

// The view's state drawn directly, without the pictures the view keeps: what it must look like.
// `adjust` adds what a test shows beyond the layout (a hover, a selection, a tooltip).
QImage paintedDirectly(const SunburstView& view, qreal ratio = 1,
                       const std::function<void(SunburstFrameInput&)>& adjust = {}) {
    QImage image(view.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Theme::light().bg1);
    QPainter painter(&image);
    const auto displayed = view.inputs().layout.segments;
    SunburstFrameInput frame;
    frame.center = view.canvasRect().center();
    frame.scale = view.canvasRect().width() / 520;
    frame.layout = &view.inputs().layout;
    frame.displayed = &displayed;
    frame.parentName = view.inputs().parentName;
    frame.displayedUsedBytes = double(view.inputs().layout.usedBytes);
    if (adjust) adjust(frame);
    paintSunburst(painter, frame);
    return image;
}

TEST(SunburstViewRendering, TheHubShowsWhatItHoldsNowAtOneAndTwoPixelsAPoint) {
    for (const qreal ratio : {1.0, 2.0}) {
        Harness h(inputsFor(sampleTree(), std::string("Documents")));
        const auto render = [&] {
            QImage image(h.view.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Theme::light().bg1);
            h.view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            return image;
        };
        const auto whole = [&] { return paintedDirectly(h.view, ratio); };
        // Inside the hub, around its texts: drawn from the view's kept picture of it and directly.
        const QRect hub(QPoint(205, 225) * ratio, QSize(110, 70) * ratio);
        const auto differing = [&](const QImage& a, const QImage& b) {
            int count = 0;
            for (int y = hub.top(); y <= hub.bottom(); ++y)
                for (int x = hub.left(); x <= hub.right(); ++x)
                    count += !near(a.pixelColor(x, y), b.pixelColor(x, y), 6);
            return count;
        };
        const QImage before = render();
        EXPECT_EQ(differing(before, whole()), 0) << ratio;
        // Another folder's name in the hub: the kept picture is not the one shown.
        h.view.setInputs(inputsFor(sampleTree(), std::string("Pictures")));
        const QImage after = render();
        EXPECT_EQ(differing(after, whole()), 0) << ratio;
        EXPECT_GT(differing(after, before), 20) << ratio;
    }
}

TEST(SunburstViewRendering, AGlowAndOutlinePreparedWithThePictureAreNotMadeAgainOnTheFirstHover) {
    for (const bool prepared : {false, true}) {
        // Each round its own size, so that nothing of the other round's glows is kept.
        Harness h(inputsFor(sampleTree()), prepared ? QSize(540, 540) : QSize(560, 560));
        renderView(h.view); // the rings' and the hub's shadows are made now
        if (prepared) {
            SunburstPictureInput input;
            input.arcs =
                std::make_shared<const std::vector<views::SunburstSegment>>(h.view.inputs().layout.segments);
            input.gauge = h.view.inputs().layout;
            input.gauge.segments.clear();
            input.placement = SunburstPicturePlacement::of(h.view.canvasRect(), 1.0);
            prepareSunburstPictureHoverGlows(input);
        }
        const auto before = painting::pathShadowBlursMade();
        const auto strokesBefore = painting::pathOutlinesStroked();
        h.move(h.at(0.2, 104));
        ASSERT_TRUE(h.view.hoveredSegmentID());
        renderView(h.view);
        EXPECT_EQ(painting::pathShadowBlursMade() - before, prepared ? 0u : 1u);
        // Nor is its outline stroked: it comes from the picture prepared with the glow.
        EXPECT_EQ(painting::pathOutlinesStroked() - strokesBefore, prepared ? 0u : 1u);
    }
}

TEST(SunburstViewRendering, ALargeRingsPictureIsDrawnIntoMemoryOfItsOwn) {
    // A worker draws the picture: memory kept for transitions is left to them.
    Harness h(inputsFor(sampleTree()), QSize(700, 700));
    SunburstPictureInput input;
    input.arcs = std::make_shared<const std::vector<views::SunburstSegment>>(h.view.inputs().layout.segments);
    input.gauge = h.view.inputs().layout;
    input.gauge.segments.clear();
    input.placement = SunburstPicturePlacement::of(h.view.canvasRect(), 2.0);
    const QImage picture = drawSunburstPicture(input);
    ASSERT_GE(picture.sizeInBytes(), qsizetype{2} << 20);
    // Mapped for it: the heap would put its own header at the start of the page.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(picture.constBits()) % 4096, 0u);
    EXPECT_EQ(picture.devicePixelRatio(), 2.0);
    // Drawn, not left as the memory came.
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    EXPECT_GT(picture.pixelColor(picture.width() / 2, picture.height() / 4).alpha(), 0);
}

TEST(SunburstViewRendering, AHoverOverTheCachedFrameLooksLikeTheWholeFrame) {
    Harness h(inputsFor(sampleTree()));
    SunburstInputs selected = inputsFor(sampleTree());
    selected.selectedPath = "/r/b";
    h.view.setInputs(selected);
    renderView(h.view); // the frame without hover is cached now
    // An arc beside the selection, then the selected arc itself.
    for (const double fraction : {0.2, 0.7}) {
        const QPointF pointer = h.at(fraction, 104);
        h.move(pointer);
        ASSERT_TRUE(h.view.hoveredSegmentID());
        const QImage viaCache = renderView(h.view);

        const QImage whole = paintedDirectly(h.view, 1, [&](SunburstFrameInput& frame) {
            frame.hoveredSegmentID = h.view.hoveredSegmentID();
            frame.selectedPath = selected.selectedPath;
            frame.tooltip = h.view.tooltipContent();
            frame.tooltipCenter = h.view.toWidget(views::tooltipCenter(h.view.toCanvas(pointer), 520));
        });
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                if (!near(whole.pixelColor(x, y), viaCache.pixelColor(x, y), 10)) ++differing;
        // Only antialiased edges of the brightened arc may differ, and the glow covers them.
        EXPECT_LT(differing, whole.width() * whole.height() / 1000) << fraction;
    }
}

TEST(SunburstViewRendering, TheGaugeSweepsClockwiseFromTwelveAndHidesWhenDue) {
    const FileNode root = folder("/r", {file("/r/only", 60)});
    Harness h(inputsFor(root, std::nullopt, 100));
    const QImage shown = renderView(h.view);
    const QColor background = Theme::light().bg1;
    const QColor accent = Theme::accent(false);
    // 60 of 100: the accent runs to 216°, the track alone beyond.
    const QColor inside = shown.pixelColor(h.at(200.0 / 360, 243).toPoint());
    const QColor outside = shown.pixelColor(h.at(232.0 / 360, 243).toPoint());
    EXPECT_TRUE(near(inside,
                     QColor::fromRgbF(accent.redF() * 0.55f + background.redF() * 0.45f,
                                      accent.greenF() * 0.55f + background.greenF() * 0.45f,
                                      accent.blueF() * 0.55f + background.blueF() * 0.45f),
                     12))
        << inside.name().toStdString();
    EXPECT_FALSE(near(outside, inside, 12));
    EXPECT_FALSE(near(outside, background, 3));

    SunburstInputs scanning = inputsFor(root, std::nullopt, 100);
    scanning.layout.isScanningNow = true;
    h.view.setInputs(scanning);
    EXPECT_TRUE(near(renderView(h.view).pixelColor(h.at(200.0 / 360, 243).toPoint()), background, 1));
    h.view.setInputs(inputsFor(root, std::nullopt, 60)); // used equals capacity
    EXPECT_TRUE(near(renderView(h.view).pixelColor(h.at(200.0 / 360, 243).toPoint()), background, 1));
}

TEST(SunburstViewRendering, AWideViewFitsItsHeight) {
    Harness h(inputsFor(folder("/r", {file("/r/only", 500)})), {1040, 520});
    EXPECT_EQ(h.view.canvasRect(), QRectF(260, 0, 520, 520));
    const QImage image = renderView(h.view);
    EXPECT_FALSE(near(image.pixelColor(520 + 104, 260), Theme::light().bg1, 3));
    EXPECT_TRUE(near(image.pixelColor(520 + 250, 260), Theme::light().bg1, 3));
}

// What one frame draws, recorded.
struct Recording {
    std::vector<test::RecordingEngine::Path> paths;
    std::vector<test::RecordingEngine::Text> texts;
};

Recording record(const SunburstInputs& inputs, const std::vector<views::SunburstSegment>& displayed,
                 double scale = 1) {
    test::RecordingDevice device(1000, 1000);
    {
        QPainter painter(&device);
        SunburstFrameInput frame;
        frame.center = QPointF(500, 500);
        frame.scale = scale;
        frame.layout = &inputs.layout;
        frame.displayed = &displayed;
        frame.selectedPath = inputs.selectedPath;
        frame.parentName = inputs.parentName;
        frame.showsCapacityGauge = inputs.showsCapacityGauge;
        frame.displayedUsedBytes = double(inputs.layout.usedBytes);
        paintSunburst(painter, frame);
    }
    return {device.engine().paths, device.engine().texts};
}

// The texts drawn, runs on one baseline in one font joined (equal-width digits are drawn one
// by one).
std::vector<QString> textsOf(const Recording& engine) {
    std::vector<QString> texts;
    const test::RecordingEngine::Text* last = nullptr;
    for (const auto& t : engine.texts) {
        if (last && last->font == t.font && last->transform == t.transform &&
            last->position.y() == t.position.y())
            texts.back() += t.text;
        else
            texts.push_back(t.text);
        last = &t;
    }
    return texts;
}

TEST(SunburstPainter, HubTextsAtThreeDepths) {
    const FileNode root = folder("/r", {file("/r/only", 60)});
    SunburstInputs top = inputsFor(root, std::nullopt, 100);
    top.layout.segments.clear();
    const auto topTexts = record(top, {}, 2);
    EXPECT_EQ(textsOf(topTexts), (std::vector<QString>{"Disk", "60 bytes", "used of 100 bytes"}));
    // Drawn in the reference font under a scale: 14 points at scale 2.
    const auto& name = topTexts.texts[0];
    EXPECT_EQ(name.font.weight(), QFont::DemiBold);
    EXPECT_NEAR(name.font.pixelSize() * name.transform.m11(), 14 * 2, 1e-6);
    EXPECT_NEAR(topTexts.texts[1].font.pixelSize() * topTexts.texts[1].transform.m11(), 40, 1e-6);
    EXPECT_EQ(topTexts.texts[1].font.weight(), QFont::Bold);

    SunburstInputs oneDown = top;
    oneDown.parentName = "Disk";
    EXPECT_EQ(textsOf(record(oneDown, {})), (std::vector<QString>{"\u2039 BACK", "Disk"}));
    SunburstInputs deeper = top;
    deeper.parentName = "Users";
    const auto deep = record(deeper, {});
    EXPECT_EQ(textsOf(deep), (std::vector<QString>{"\u2039 BACK", "Users"}));
    EXPECT_NEAR(deep.texts[0].font.pixelSize() * deep.texts[0].transform.m11(), 10.5, 1e-6);
}

TEST(SunburstPainter, LabelsCarryTheirTextsSizesAndRotation) {
    // Two arcs: a wide one with a horizontal label, and one labelled along the arc.
    views::SunburstSegment flat;
    flat.id = "root/0";
    flat.ring = 0;
    flat.startFraction = 0;
    flat.endFraction = 0.5;
    flat.hue = 46;
    flat.saturation = 0.62;
    flat.brightness = 0.71;
    flat.label = views::SunburstLabel{"Photos", "1 GB", 11, 10, {30, 13}, {20, 12}, 0.25, 104, 0};
    views::SunburstSegment turned = flat;
    turned.id = "root/1";
    turned.startFraction = 0.5;
    turned.endFraction = 1;
    turned.hue = 0;
    turned.saturation = 0.88;
    turned.brightness = 0.53;
    turned.label =
        views::SunburstLabel{"Videos", "2 GB", 11, 10, {30, 13}, {20, 12}, 0.75, 104, -std::numbers::pi / 2};
    SunburstInputs inputs = inputsFor(folder("/r", {}));
    inputs.layout.segments = {flat, turned};
    const auto engine = record(inputs, inputs.layout.segments, 1.5);
    const std::vector<QString> all = textsOf(engine);
    ASSERT_GE(all.size(), 4u);
    const std::vector<QString> labels(all.begin(), all.begin() + 4);
    ASSERT_EQ(labels, (std::vector<QString>{"Photos", "1 GB", "Videos", "2 GB"}));
    const auto& photos = engine.texts[0];
    EXPECT_NEAR(photos.font.pixelSize() * photos.transform.m11(), 11 * 1.5, 1e-6);
    EXPECT_NEAR(photos.transform.m12(), 0, 1e-9);
    // Dark text on the light yellow, white on the crimson.
    EXPECT_EQ(photos.color, QColor::fromRgbF(0, 0, 0, 0.9f));
    EXPECT_EQ(engine.texts[2].color, QColor::fromRgbF(1, 1, 1, 0.97f));
    // Turned by −90°: the text's x axis points up the screen.
    const auto& videos = engine.texts[2];
    EXPECT_NEAR(videos.transform.m11(), 0, 1e-9);
    EXPECT_LT(videos.transform.m12(), 0);
    EXPECT_NEAR(engine.texts[3].font.pixelSize() * std::abs(engine.texts[3].transform.m12()), 10 * 1.5, 1e-6);
}

TEST(SunburstPainter, OnlyTheFirstMatchingArcIsOutlined) {
    SunburstInputs inputs = inputsFor(sampleTree());
    inputs.selectedPath = "/r/b";
    std::vector<views::SunburstSegment> arcs = inputs.layout.segments;
    arcs.push_back(arcs[0]);
    for (const auto& s : inputs.layout.segments)
        if (s.node && s.node->path() == "/r/b") arcs.push_back(s);
    const auto engine = record(inputs, arcs, 2);
    int outlines = 0;
    for (const auto& p : engine.paths)
        if (p.brush.style() == Qt::NoBrush && p.pen.color() == QColor::fromRgbF(1, 1, 1, 0.95f) &&
            p.pen.widthF() == 4)
            ++outlines;
    EXPECT_EQ(outlines, 1);
    inputs.selectedPath = "/nowhere";
    int none = 0;
    for (const auto& p : record(inputs, arcs, 2).paths)
        if (p.brush.style() == Qt::NoBrush && p.pen.widthF() == 4) ++none;
    EXPECT_EQ(none, 0);
}

} // namespace
} // namespace quillmere
