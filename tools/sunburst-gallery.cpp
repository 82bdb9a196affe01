// Renders the sunburst in the states a window cannot hold still, for review:
//   sunburst-gallery OUTPUT_FOLDER
// writes, light and dark at 1× and 2×: the top level with its gauge, an arc hovered with its
// tooltip, the gauge's tooltip, a selection shifted beside the details panel, one level down,
// and a deletion transition frozen midway.
#include "ui/ReferenceText.hpp"
#include "ui/Theme.hpp"
#include "views/SunburstGeometry.hpp"
#include "views/widgets/SunburstView.hpp"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <iostream>

using namespace quillmere;

namespace {

FileNode file(const std::string& path, int64_t size) {
    return FileNode(std::string(lastPathComponent(path)), path, false, false, size, false, false, 0, false, 0,
                    1, 0, std::nullopt, {});
}

FileNode folder(const std::string& path, std::vector<FileNode> children) {
    const FileNode::Totals t = FileNode::folderTotals(children);
    return FileNode(std::string(lastPathComponent(path)), path, true, false, t.allocatedSize, false, false,
                    t.cloudOnlyCount, false, t.folderCount, t.fileCount, t.sharedBytesTotal, std::nullopt,
                    std::move(children));
}

constexpr int64_t GB = 1'000'000'000;
constexpr int64_t MB = 1'000'000;

FileNode sampleTree(bool withCaches) {
    std::vector<FileNode> home{
        folder("/home/ada/Videos",
               {file("/home/ada/Videos/holiday.mkv", 18 * GB), file("/home/ada/Videos/talk.mp4", 6 * GB)}),
        folder("/home/ada/Pictures",
               {file("/home/ada/Pictures/raw.tar", 9 * GB), file("/home/ada/Pictures/a.jpg", 900 * MB)}),
        folder("/home/ada/Documents",
               {file("/home/ada/Documents/thesis.pdf", 2 * GB), file("/home/ada/Documents/notes", 300 * MB)}),
    };
    if (withCaches)
        home.push_back(folder("/home/ada/.cache", {file("/home/ada/.cache/pip", 7 * GB),
                                                   file("/home/ada/.cache/thumbs", 2 * GB)}));
    std::vector<FileNode> usr{
        folder("/usr/lib", {file("/usr/lib/libLLVM.so", 4 * GB), file("/usr/lib/firmware", 2 * GB)}),
        folder("/usr/share", {file("/usr/share/doc", 1 * GB), file("/usr/share/icons", 700 * MB)}),
        file("/usr/bin", 900 * MB)};
    std::vector<FileNode> var{
        folder("/var/lib", {file("/var/lib/docker", 8 * GB), file("/var/lib/apt", 400 * MB)}),
        file("/var/log", 600 * MB)};
    std::vector<FileNode> root{folder("/home", {folder("/home/ada", home)}), folder("/usr", usr),
                               folder("/var", var), file("/swapfile", 4 * GB),
                               folder("/opt", {file("/opt/tool", 900 * MB)})};
    for (int i = 0; i < 40; ++i)
        root.push_back(file("/small" + std::to_string(i), 20 * MB));
    return folder("/", root);
}

struct Shot {
    QString name;
    bool dark;
    qreal ratio;
};

QImage render(SunburstView& view, qreal ratio, bool dark) {
    view.setPalette(Theme::qtPalette(dark));
    QImage image((view.size() * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Theme::palette(dark).bg1);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

SunburstInputs inputsFor(const FileNode& folder, std::size_t depth, std::optional<std::string> parentName) {
    SunburstInputs inputs;
    inputs.root = folder;
    inputs.volumeName = "Debian";
    inputs.layout =
        views::makeSunburstLayout(folder, {"Debian", 250 * GB, depth, false}, reference_text::measurer());
    inputs.volumeTotalCapacityBytes = inputs.layout.totalCapacityBytes;
    inputs.parentName = std::move(parentName);
    return inputs;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "Usage: sunburst-gallery OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    const QSize size(980, 700);
    const FileNode tree = sampleTree(true);
    int written = 0;
    const auto save = [&](SunburstView& view, const QString& name) {
        for (const bool dark : {false, true})
            for (const qreal ratio : {1.0, 2.0}) {
                const QString file = out.filePath(
                    QStringLiteral("%1-%2-%3x.png").arg(name, dark ? "dark" : "light").arg(ratio));
                if (render(view, ratio, dark).save(file)) ++written;
            }
    };
    const auto pointAt = [&](SunburstView& view, double fraction, double radius) {
        const views::SizeD canvas{view.canvasRect().width(), view.canvasRect().height()};
        return views::SunburstFrame::of(canvas).pointAt(fraction, radius);
    };

    SunburstView top(inputsFor(tree, 1, std::nullopt), {});
    top.resize(size);
    save(top, "top");

    top.handleHoverAt(pointAt(top, 0.3, 104));
    save(top, "hover-tooltip");
    top.handleHoverAt(pointAt(top, 0.1, 243));
    save(top, "gauge-tooltip");
    top.handleHoverEnded();

    SunburstInputs selected = inputsFor(tree, 1, std::nullopt);
    selected.selectedPath = "/usr";
    selected.detailsPanelInset = 334;
    top.setReducedMotionSource([] { return true; });
    top.setInputs(selected);
    save(top, "selected-inset");

    const FileNode home = *tree.find("/home/ada");
    SunburstView down(inputsFor(home, 3, std::string("home")), {});
    down.resize(size);
    save(down, "two-levels-down");

    // A deletion at the top of the history: the hub counts down against the volume's capacity.
    SunburstView deleting(inputsFor(home, 1, std::nullopt), {});
    deleting.resize(size);
    std::vector<FileNode> kept;
    for (const FileNode& child : home.children())
        if (child.name() != "Pictures") kept.push_back(child);
    deleting.setInputs(inputsFor(folder("/home/ada", kept), 1, std::nullopt));
    deleting.setDeletionProgressForReview(0.5);
    save(deleting, "deletion-midway");

    std::cout << "wrote " << written << " images to " << out.path().toStdString() << "\n";
    return written == 24 ? 0 : 1;
}
