// The treemap, the list and the inspector timed on a large tree: the treemap's layout, first
// paint, full paint, hover repaint and the stall when the tree is replaced; the list's opening,
// scroll frames and the stall when the tree is replaced; and the inspector showing a folder; on
// the root and on a folder of 100,000 children, at 1x and 2x.
#include "DiskViewsBench.hpp"

#include "Timing.hpp"
#include "app/InspectorView.hpp"
#include "app/state/SelectionState.hpp"
#include "views/TreemapLayout.hpp"
#include "views/widgets/FileListView.hpp"
#include "views/widgets/TreemapView.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace quillmere::bench {
namespace {

// Main-thread work when a new tree reaches a view, whichever view shows it.
constexpr double kTreeReplacedMs = 16;

void report(const char* what, Figures f, double target) {
    std::printf("%-52s %9.2f ms (worst %8.2f)  target %5.0f ms  %s\n", what, f.median, f.worst, target,
                f.worst <= target ? "ok" : "OVER");
    if (f.worst > target)
        std::printf("  (the worst: the main thread ran %.2f ms and waited for a processor %.2f ms of it)\n",
                    f.worstRan, f.worstQueued);
}

QImage canvas(QSize size, qreal scale) {
    QImage image((QSizeF(size) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    // Written once before any paint is timed, as a window's backing store is before its views
    // draw: a fresh image's first writes (on a virtual machine, a trip to the host a page) would
    // otherwise count as the view's first paint.
    image.fill(Qt::transparent);
    return image;
}

void render(QWidget& widget, QImage& image, const QRegion& region = {}) {
    QPainter painter(&image);
    widget.render(&painter, QPoint(), region.isEmpty() ? QRegion(widget.rect()) : region);
}

// Lets a layer drawn in the background arrive, then paints once more with it.
void waitForLayer(TreemapView& treemap) {
    while (treemap.isDrawingLayer())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

FileNode rebuiltCopy(const FileNode& folder) {
    return folder.rebuilt(std::vector<FileNode>(folder.children().begin(), folder.children().end()));
}

} // namespace

void benchDiskViews(const FileNode& root, const FileNode& huge) {
    for (const qreal scale : {1.0, 2.0}) {
        std::printf("treemap, list and inspector at %.0fx, 1200 x 800:\n", scale);
        const QSize size(1200, 800);

        for (const auto& [name, folder] : {std::pair<const char*, FileNode>{"root", root}, {"huge", huge}}) {
            std::printf("-- %s --\n", name);
            report("treemap layout",
                   measure(5,
                           [&] {
                               views::treemap::layout(folder.children(),
                                                      {0, 0, double(size.width()), double(size.height())});
                           }),
                   50);
            TreemapView treemap(folder, {});
            treemap.resize(size);
            QImage image = canvas(size, scale);
            const double first = millis([&] { render(treemap, image); });
            report("treemap first paint on the main thread", {first, first}, 50);
            const double background = millis([&] { waitForLayer(treemap); });
            std::printf("%-52s %9.2f ms (off the main thread)\n",
                        "  then the tile layer drawn in the background", background);
            report("treemap full paint", measure(5, [&] { render(treemap, image); }), scale == 1.0 ? 12 : 16);
            int step = 0;
            report("treemap hover repaint",
                   measure(20,
                           [&] {
                               const QPointF point(37 + (step * 53) % 1100, 29 + (step * 31) % 760);
                               ++step;
                               treemap.hoverAt(point);
                               // What a hover invalidates: the hovered tile and the tooltip around the
                               // pointer.
                               render(treemap, image,
                                      QRegion(QRect((point - QPointF(220, 120)).toPoint(), QSize(440, 240))));
                           }),
                   8);
            report("treemap: tree replaced, relaid and painted",
                   measure(3,
                           [&] {
                               treemap.setRoot(rebuiltCopy(folder));
                               render(treemap, image);
                           }),
                   kTreeReplacedMs);

            FileListView* list = nullptr;
            const double opening = millis([&] {
                list = new FileListView(folder, {{}, {}, [](const FileNode&) { return false; }});
                list->resize(size);
                render(*list, image);
            });
            report("list opening (rows ordered, first paint)", {opening, opening}, 50);
            const int pages = 30;
            report("list scroll frame (one page down)",
                   measure(pages,
                           [&] {
                               list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() +
                                                                   size.height());
                               render(*list, image);
                           }),
                   16);
            report("list: tree replaced and painted",
                   measure(3,
                           [&] {
                               list->setRoot(rebuiltCopy(folder));
                               render(*list, image);
                           }),
                   kTreeReplacedMs);
            delete list;

            SelectionState selection;
            InspectorView inspector(selection, {}, {});
            inspector.resize(334, 800);
            QImage column = canvas(QSize(334, 800), scale);
            report("inspector showing the folder",
                   measure(5,
                           [&] {
                               selection.setSelectedNode(folder);
                               render(inspector, column);
                           }),
                   50);
            std::printf("\n");
        }
    }
}

} // namespace quillmere::bench
