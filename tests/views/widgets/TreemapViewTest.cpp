#include "views/widgets/TreemapView.hpp"

#include "support/Gate.hpp"
#include "ui/BackgroundWork.hpp"
#include "ui/Theme.hpp"
#include "views/ColorMath.hpp"
#include "views/ViewsTestSupport.hpp"
#include "views/widgets/WaitUntil.hpp"

#include <QCoreApplication>
#include <QImage>
#include <QSignalSpy>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace quillmere {
namespace {

using views::test::aggregate;
using views::test::file;
using views::test::folder;

QImage render(TreemapView& view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren); // no window background
    return image;
}

// How many pixels show something.
int painted(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).alpha() > 0;
    return count;
}

QColor hsb(double hue, double s, double b) {
    return QColor::fromHsvF(float(views::normalizedHueDegrees(hue) / 360), float(s), float(b));
}

// The gradient's colour at `p` of a tile spanning `w` × `h` from the origin.
QColor gradientAt(QPointF p, double w, double h, QColor start, QColor end) {
    const double t = (p.x() * w + p.y() * h) / (w * w + h * h);
    return QColor::fromRgbF(float(start.redF() + (end.redF() - start.redF()) * t),
                            float(start.greenF() + (end.greenF() - start.greenF()) * t),
                            float(start.blueF() + (end.blueF() - start.blueF()) * t));
}

void expectNear(QColor actual, QColor expected, int tolerance = 4) {
    EXPECT_NEAR(actual.red(), expected.red(), tolerance);
    EXPECT_NEAR(actual.green(), expected.green(), tolerance);
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance);
}

struct Recorder {
    std::vector<std::string> selected;
    std::vector<std::string> drilled;
    TreemapView::Actions actions() {
        return {[this](const std::vector<FileNode>& chain) {
                    ASSERT_EQ(chain.size(), 1u);
                    drilled.push_back(chain.front().path());
                },
                [this](const FileNode& node) { selected.push_back(node.path()); }};
    }
};

TEST(TreemapView, PaintsTheGradientEndsAndTheHoverOutline) {
    // A name too long for any label, so only the fill shows.
    const FileNode root = folder("/r", {file("/r/" + std::string(80, 'n'), 10)});
    TreemapView view(root, {});
    view.resize(200, 100);
    const QImage plain = render(view);
    const QColor start = hsb(6, 0.72 * 0.82, 1.0);
    const QColor end = hsb(6, 0.72, 0.9);
    for (QPointF p : {QPointF(12, 12), QPointF(100, 50), QPointF(188, 88)})
        expectNear(plain.pixelColor(p.toPoint()), gradientAt(p + QPointF(0.5, 0.5), 200, 100, start, end));

    view.hoverAt(QPointF(100, 50));
    ASSERT_EQ(view.hoveredTileID(), std::optional<std::string>("/r/" + std::string(80, 'n')));
    const QImage hovered = render(view);
    // Brighter fill while hovered.
    expectNear(hovered.pixelColor(188, 88),
               gradientAt(QPointF(188.5, 88.5), 200, 100, hsb(6, 0.72 * 0.82, 1.0), hsb(6, 0.72, 0.94)));
    // The outline on the inset edge: white at 0.92, 2 wide, against black at 0.14 when not hovered.
    const QColor edgePlain = plain.pixelColor(1, 30);
    const QColor edgeHovered = hovered.pixelColor(1, 30);
    EXPECT_GT(edgeHovered.lightness(), 225);
    EXPECT_LT(edgePlain.lightness(), hovered.pixelColor(12, 30).lightness());
    view.endHover();
    EXPECT_FALSE(view.hoveredTileID().has_value());
}

TEST(TreemapView, TooltipsAggregatesAndDoubleClicks) {
    const FileNode dir = folder("/r/dir", {file("/r/dir/x", 60)});
    const FileNode root = folder("/r", {dir, file("/r/file", 30), aggregate("/r/small", 10)});
    Recorder recorder;
    TreemapView view(root, recorder.actions());
    view.resize(400, 300);
    std::chrono::steady_clock::time_point now{};
    view.setClock([&] { return now; });
    const auto& tiles = view.tiles();
    ASSERT_EQ(tiles.size(), 3u);
    const auto centre = [&](size_t i) {
        const auto& r = tiles[i].rect;
        return QPointF(r.x + r.width / 2, r.y + r.height / 2);
    };

    // The aggregate explains itself but is inert.
    view.hoverAt(centre(2));
    auto tip = view.tooltipContent();
    ASSERT_TRUE(tip.has_value());
    EXPECT_EQ(tip->lines.size(), 3u);
    EXPECT_EQ(tip->lines[2].text, "10.0% of this folder");
    view.tapAt(centre(2));
    EXPECT_TRUE(recorder.selected.empty());

    // Folder: a click selects, a second within the interval selects and drills.
    view.tapAt(centre(0));
    now += std::chrono::milliseconds(100);
    view.tapAt(centre(0));
    EXPECT_EQ(recorder.selected, (std::vector<std::string>{"/r/dir", "/r/dir"}));
    EXPECT_EQ(recorder.drilled, (std::vector<std::string>{"/r/dir"}));
    // File: selected twice, never drilled.
    view.tapAt(centre(1));
    view.tapAt(centre(1));
    EXPECT_EQ(recorder.selected.size(), 4u);
    EXPECT_EQ(recorder.drilled.size(), 1u);

    // Hovering and painting reuse the tiles.
    for (int i = 0; i < 20; ++i)
        view.hoverAt(QPointF(5 + i * 10, 5 + i * 7));
    render(view);
    EXPECT_EQ(view.layoutCount(), 1);

    // A folder of 0 bytes has no share line.
    const FileNode zero(std::string("z"), "/z", true, false, 0, false, false, 0, false, 1, 1, 0, std::nullopt,
                        {file("/z/a", 5)});
    TreemapView empty(zero, {});
    empty.resize(100, 100);
    empty.hoverAt(QPointF(50, 50));
    ASSERT_TRUE(empty.tooltipContent().has_value());
    EXPECT_EQ(empty.tooltipContent()->lines.size(), 2u);
}

TEST(TreemapView, AFolderOfManyTilesIsLaidOutAndDrawnOffTheMainThreadThenShown) {
    std::vector<FileNode> children;
    for (size_t i = 0; i <= TreemapView::kBackgroundLayerTiles; ++i)
        children.push_back(file("/many/f" + std::to_string(i), 1000 + int64_t(i)));
    const FileNode many = folder("/many", std::move(children));
    int selected = 0;
    TreemapView view(many, {{}, [&](const FileNode&) { ++selected; }});
    view.resize(300, 200);
    QSignalSpy ready(&view, &TreemapView::layerReady);
    EXPECT_EQ(painted(render(view)), 0); // nothing stands in yet
    EXPECT_TRUE(view.isDrawingLayer());
    // Until the layout arrives nothing answers the pointer.
    EXPECT_TRUE(view.tiles().empty());
    view.tapAt(QPointF(150, 100));
    EXPECT_EQ(selected, 0);
    ASSERT_TRUE(ready.wait(30000));
    EXPECT_FALSE(view.isDrawingLayer());
    EXPECT_GT(painted(render(view)), 300 * 200 / 4);
    ASSERT_EQ(view.tiles().size(), many.children().size());
    EXPECT_TRUE(view.tiles().front().item.sharesNodeWith(many.children().back())); // largest first
    view.tapAt(QPointF(5, 5));
    EXPECT_EQ(selected, 1);

    // Another tree of the same size: the old picture stays until the new layout replaces it.
    const FileNode rebuilt = many.rebuilt({many.children().begin(), many.children().end()});
    view.setRoot(rebuilt);
    EXPECT_GT(painted(render(view)), 300 * 200 / 4);
    EXPECT_TRUE(view.isDrawingLayer());
    EXPECT_TRUE(view.tiles().empty());
    ASSERT_TRUE(ready.wait(30000));
    ASSERT_FALSE(view.tiles().empty());
    EXPECT_TRUE(view.tiles().front().item.sharesNodeWith(rebuilt.children().back()));
    // A small tree is laid out at once, and a late result for the large one is dropped.
    view.setRoot(many);
    render(view);
    view.setRoot(folder("/few", {file("/few/a", 5), file("/few/b", 3)}));
    EXPECT_EQ(view.tiles().size(), 2u);
    EXPECT_FALSE(view.isDrawingLayer());
    // Once every drawing has ended and handed its result over, the small tree's tiles stand.
    ASSERT_TRUE(waitForBackgroundWork(30000));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.tiles().size(), 2u);

    // A view gone before its layer arrives is simply not told: the drawing ends, and its
    // hand-over, delivered here, finds nobody to give the layer to.
    const qsizetype layersBefore = ready.count();
    auto* doomed = new TreemapView(many, {});
    doomed->resize(310, 200);
    render(*doomed);
    ASSERT_TRUE(doomed->isDrawingLayer());
    delete doomed;
    ASSERT_TRUE(waitForBackgroundWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ready.count(), layersBefore);
    EXPECT_FALSE(view.isDrawingLayer());
}

// Every worker of the shared pool held, as other views' long work can hold them: what is asked
// of the pool meanwhile waits in its queue.
class BusyWorkers {
public:
    BusyWorkers() {
        const int workers = QThread::idealThreadCount();
        for (int i = 0; i < workers; ++i)
            startBackgroundWork([gate = gate_] { gate->pass(); });
        holdsAll_ = testing::eventually([&] { return gate_->waiting() == workers; });
    }
    ~BusyWorkers() { gate_->open(); }
    bool holdsAll() const { return holdsAll_; }

private:
    std::shared_ptr<testing::Gate> gate_ = std::make_shared<testing::Gate>();
    bool holdsAll_ = false;
};

bool settled(TreemapView& view) {
    return waitUntil([&] { return !view.isDrawingLayer(); });
}

// Dragging the window's edge asks for a layer at every frame. While the workers are busy, the
// requests that a newer size overtook are never made, whether they lay a large folder out and
// draw it or only draw a smaller one; the last one arrives, as a view of that size draws it.
TEST(TreemapView, LayersOvertakenByANewerSizeAreNotMadeAndTheLastOneArrives) {
    for (const size_t count :
         {TreemapView::kBackgroundLayerTiles * 5, TreemapView::kBackgroundLayerTiles / 2}) {
        SCOPED_TRACE(count > TreemapView::kBackgroundLayerTiles ? "laid out and drawn off the main thread"
                                                                : "drawn off the main thread");
        std::vector<FileNode> children;
        // A few large tiles among many small ones, so the stand-in shows.
        for (size_t i = 0; i < count; ++i)
            children.push_back(
                file("/drag/f" + std::to_string(i), i < 12 ? 40'000'000 : 1000 + int64_t(i % 997)));
        const FileNode root = folder("/drag", std::move(children));
        TreemapView view(root, {});
        view.resize(400, 300);
        view.show();
        render(view);
        ASSERT_TRUE(settled(view));
        const int before = view.backgroundDrawings();

        constexpr int kFrames = 40;
        {
            BusyWorkers busy;
            ASSERT_TRUE(busy.holdsAll());
            for (int frame = 1; frame <= kFrames; ++frame) {
                view.resize(400 - 3 * frame, 300 - 2 * frame);
                const QImage shown = render(view);
                // The first layer, stretched, stands in meanwhile.
                ASSERT_TRUE(view.isDrawingLayer());
                EXPECT_GT(painted(shown), view.width() * view.height() / 4);
            }
        }
        ASSERT_TRUE(settled(view));
        // Whatever was still on its way has arrived.
        ASSERT_TRUE(waitForBackgroundWork(30000));
        QCoreApplication::sendPostedEvents();
        EXPECT_LE(view.backgroundDrawings() - before, 2);

        TreemapView atRest(root, {});
        atRest.resize(view.size());
        atRest.show();
        render(atRest);
        ASSERT_TRUE(settled(atRest));
        EXPECT_EQ(render(view), render(atRest));
    }
}

} // namespace
} // namespace quillmere
