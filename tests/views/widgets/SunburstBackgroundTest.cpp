#include "ui/BackgroundWork.hpp"
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/ViewsTestSupport.hpp"
#include "views/widgets/SunburstView.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <new>

namespace quillmere {
namespace {

using views::test::file;
using views::test::folder;

// Two trees of 900 bytes whose rings differ: the hub reads the same in both.
FileNode treeA() {
    return folder("/r", {folder("/r/a", {file("/r/a/x", 400), file("/r/a/y", 200)}), file("/r/b", 300)});
}
FileNode treeB() {
    return folder("/r", {file("/r/c", 450), file("/r/d", 250), file("/r/e", 200)});
}
FileNode treeC() {
    return folder("/r", {file("/r/f", 800), file("/r/g", 100)});
}

// A folder the view lays out on a worker thread.
FileNode wideTree(const std::string& prefix) {
    std::vector<FileNode> children;
    for (size_t i = 0; i <= SunburstView::kBackgroundLayoutItems; ++i)
        children.push_back(file("/w/" + prefix + std::to_string(i), 1000 + int64_t(i)));
    children.push_back(folder("/w/" + prefix + "big", {file("/w/" + prefix + "big/z", 9'000'000)}));
    return folder("/w", std::move(children));
}

constexpr views::SunburstHostInputs kHost{"Disk", 100'000'000, 2, false};

SunburstInputs given(const FileNode& root) {
    SunburstInputs inputs;
    inputs.root = root;
    inputs.volumeName = "Disk";
    inputs.layout = views::makeSunburstLayout(root, kHost, reference_text::measurer());
    inputs.parentName = "Disk";
    return inputs;
}

SunburstInputs laidOutByTheView(const FileNode& root) {
    SunburstInputs inputs;
    inputs.root = root;
    inputs.volumeName = "Disk";
    inputs.parentName = "Disk";
    inputs.layoutHost = kHost;
    return inputs;
}

QImage render(SunburstView& view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Theme::light().bg1);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The frame a hidden view of the same size draws in place.
QImage reference(const SunburstInputs& inputs, QSize size) {
    SunburstView view(inputs, {});
    view.resize(size);
    view.setReducedMotionSource([] { return true; });
    return render(view);
}

bool settled(SunburstView& view) {
    return QTest::qWaitFor([&] { return !view.isWorkingInBackground(); }, 30000);
}

TEST(SunburstViewBackground, OnScreenTheRingsAreDrawnOffTheMainThreadAndTheLastFrameStandsIn) {
    const QSize size(400, 300);
    const QImage frameA = reference(given(treeA()), size);
    const QImage frameB = reference(given(treeB()), size);
    ASSERT_NE(frameA, frameB);

    SunburstView view(given(treeA()), {});
    view.setReducedMotionSource([] { return true; });
    view.resize(size);
    view.show();
    QSignalSpy done(&view, &SunburstView::backgroundWorkDone);
    render(view);
    EXPECT_TRUE(view.isWorkingInBackground());
    ASSERT_TRUE(settled(view));
    // The picture made on the worker thread is the one drawn in place.
    EXPECT_EQ(render(view), frameA);

    // New rings: until their picture arrives, the old frame is shown whole.
    view.setInputs(given(treeB()));
    EXPECT_EQ(render(view), frameA);
    EXPECT_TRUE(view.isWorkingInBackground());
    ASSERT_TRUE(settled(view));
    EXPECT_EQ(render(view), frameB);

    // A picture overtaken by newer rings is never taken in: only the last one arrives.
    const qsizetype before = done.count();
    view.setInputs(given(treeA()));
    render(view);
    view.setInputs(given(treeC()));
    render(view);
    ASSERT_TRUE(waitForBackgroundWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(done.count(), before + 1);
    EXPECT_EQ(render(view), reference(given(treeC()), size));

    // A selection or a hover is drawn over the cached rings: nothing is drawn anew for them.
    SunburstInputs selected = given(treeC());
    selected.selectedPath = "/r/f";
    view.setInputs(selected);
    render(view);
    EXPECT_FALSE(view.isWorkingInBackground());
}

TEST(SunburstViewBackground, ALargeFolderIsLaidOutOffTheMainThreadAsItWouldBeInPlace) {
    const FileNode wide = wideTree("n");
    int selected = 0;
    SunburstView view(laidOutByTheView(treeA()), {{}, [&](const FileNode&) { ++selected; }, {}});
    view.setReducedMotionSource([] { return true; });
    view.resize(520, 520);
    // A small folder is laid out at once.
    ASSERT_FALSE(view.isWorkingInBackground());
    ASSERT_FALSE(view.inputs().layout.segments.empty());
    const auto oldSegments = view.inputs().layout.segments;

    QSignalSpy done(&view, &SunburstView::backgroundWorkDone);
    view.setInputs(laidOutByTheView(wide));
    EXPECT_TRUE(view.isWorkingInBackground());
    // The old layout stays meanwhile, and none of its arcs answers a click.
    ASSERT_EQ(view.inputs().layout.segments.size(), oldSegments.size());
    EXPECT_EQ(view.inputs().layout.segments.front().id, oldSegments.front().id);
    const QPointF arc = view.toWidget(views::SunburstFrame::of({520, 520}).pointAt(0.1, 104));
    QMouseEvent press(QEvent::MouseButtonPress, arc, view.mapToGlobal(arc), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, arc, view.mapToGlobal(arc), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QApplication::sendEvent(&view, &release);
    EXPECT_EQ(selected, 0);

    ASSERT_TRUE(done.wait(30000));
    const views::SunburstLayout here = views::makeSunburstLayout(wide, kHost, reference_text::measurer());
    const views::SunburstLayout& swapped = view.inputs().layout;
    ASSERT_EQ(swapped.segments.size(), here.segments.size());
    for (size_t i = 0; i < here.segments.size(); ++i) {
        EXPECT_EQ(swapped.segments[i].id, here.segments[i].id);
        EXPECT_EQ(swapped.segments[i].name, here.segments[i].name);
        EXPECT_EQ(swapped.segments[i].startFraction, here.segments[i].startFraction);
        EXPECT_EQ(swapped.segments[i].endFraction, here.segments[i].endFraction);
        EXPECT_EQ(swapped.segments[i].label, here.segments[i].label);
    }
    EXPECT_EQ(swapped.usedBytes, here.usedBytes);
    EXPECT_EQ(swapped.totalCapacityBytes, here.totalCapacityBytes);
    EXPECT_EQ(view.inputs().volumeTotalCapacityBytes, here.totalCapacityBytes);
    QApplication::sendEvent(&view, &press);
    QApplication::sendEvent(&view, &release);
    EXPECT_EQ(selected, 1);
    // The same folder again is not laid out anew.
    view.setInputs(laidOutByTheView(wide));
    EXPECT_FALSE(view.isWorkingInBackground());

    // A tree replaced while its layout is being made: the late layout is dropped, never shown.
    view.setInputs(laidOutByTheView(wideTree("m")));
    ASSERT_TRUE(view.isWorkingInBackground());
    view.setInputs(laidOutByTheView(treeB()));
    EXPECT_FALSE(view.isWorkingInBackground());
    const qsizetype before = done.count();
    ASSERT_TRUE(waitForBackgroundWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(done.count(), before);
    EXPECT_EQ(view.inputs().layout.segments.size(),
              views::makeSunburstLayout(treeB(), kHost, reference_text::measurer()).segments.size());
    EXPECT_EQ(view.inputs().layout.usedBytes, 900);
}

// Memory running out while a folder is laid out, on the worker and again in place: nothing
// escapes the event loop, the last layout stays, and the folder is laid out when next asked.
TEST(SunburstViewBackground, ALayoutThatFailsEverywhereLeavesTheLastOneOnScreen) {
    SunburstView view(laidOutByTheView(treeA()), {});
    view.setReducedMotionSource([] { return true; });
    view.resize(520, 520);
    const size_t shown = view.inputs().layout.segments.size();
    ASSERT_GT(shown, 0U);
    std::atomic<int> attempts = 0;
    view.setLayoutMaker(
        [&attempts](const FileNode&, const views::SunburstHostInputs&) -> views::SunburstLayout {
            ++attempts;
            throw std::bad_alloc();
        });

    QSignalSpy done(&view, &SunburstView::backgroundWorkDone);
    view.setInputs(laidOutByTheView(wideTree("x")));
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(attempts, 2);
    EXPECT_FALSE(view.isWorkingInBackground());
    EXPECT_EQ(view.inputs().layout.segments.size(), shown);
    view.setInputs(laidOutByTheView(treeC()));
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(view.inputs().layout.usedBytes, 900);
    EXPECT_EQ(view.inputs().layout.segments.size(), shown);

    view.setLayoutMaker([](const FileNode& folder, const views::SunburstHostInputs& host) {
        return views::makeSunburstLayout(folder, host, reference_text::measurer());
    });
    view.setInputs(laidOutByTheView(treeC()));
    EXPECT_EQ(view.inputs().layout.segments.size(),
              views::makeSunburstLayout(treeC(), kHost, reference_text::measurer()).segments.size());
}

TEST(SunburstViewBackground, AViewGoneBeforeItsWorkEndsIsNeverTold) {
    auto* doomed = new SunburstView(laidOutByTheView(wideTree("d")), {});
    doomed->resize(300, 300);
    doomed->show();
    ASSERT_TRUE(doomed->isWorkingInBackground());
    // Nothing is drawn before the first layout: not an empty disk.
    EXPECT_EQ(render(*doomed), [&] {
        QImage blank(doomed->size(), QImage::Format_ARGB32_Premultiplied);
        blank.fill(Theme::light().bg1);
        return blank;
    }());
    QSignalSpy done(doomed, &SunburstView::backgroundWorkDone);
    delete doomed;
    ASSERT_TRUE(waitForBackgroundWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(done.count(), 0);
}

TEST(SunburstViewBackground, AHoverRepaintsOnlyTheArcsAndTooltipsItChangesAndLooksWhole) {
    const QSize size(520, 520);
    SunburstView view(given(treeA()), {});
    view.setReducedMotionSource([] { return true; });
    view.resize(size);
    // The window's background under every repaint, as on screen.
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, Theme::light().bg1);
    view.setPalette(palette);
    const auto draw = [&](QImage& into, const QRegion& region) {
        // The region's top left lands on the offset given.
        view.render(&into, region.boundingRect().topLeft(), region,
                    QWidget::DrawWindowBackground | QWidget::DrawChildren);
    };
    const auto full = [&] {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        draw(image, QRegion(view.rect()));
        return image;
    };
    const auto frame = views::SunburstFrame::of({520, 520});
    const auto hoverAt = [&](double fraction, double radius) {
        const QPointF at = view.toWidget(frame.pointAt(fraction, radius));
        QMouseEvent move(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
    };
    QImage screen = full();
    // From nothing to an inner arc, to an outer one, to the other inner one, and away.
    const std::vector<std::pair<double, double>> steps{{0.2, 104}, {0.2, 160}, {0.8, 104}, {0.5, 300}};
    for (const auto& [fraction, radius] : steps) {
        hoverAt(fraction, radius);
        const QRegion damage = view.lastHoverDamage();
        ASSERT_FALSE(damage.isEmpty()) << fraction << " " << radius;
        EXPECT_LT(damage.boundingRect().width() * damage.boundingRect().height(),
                  size.width() * size.height());
        // Only the damage drawn over the last frame: the same as a whole new frame.
        draw(screen, damage);
        const QImage whole = full();
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x)
                differing += whole.pixel(x, y) != screen.pixel(x, y);
        EXPECT_EQ(differing, 0) << fraction << " " << radius;
        screen = whole;
    }
}

} // namespace
} // namespace quillmere
