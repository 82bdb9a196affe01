// Shows the main window over a made-up disk in the states worth looking at and saves a
// picture of the screen for each, as the desktop shows it.
// Usage: window-shots OUTPUT_FOLDER WIDTH HEIGHT light|dark [one]   (QT_SCALE_FACTOR=2 for 2x)
// "one" lists the startup disk alone, "many" seven disks.
// The size is the content's; the window adds its menu bar.
#include "ScreenStage.hpp"
#include "app/ContentView.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenuBar>
#include <QTemporaryDir>

using namespace quillmere;

namespace {

using screens::settle;

ScanSnapshot madeUpScan() {
    const FolderPath root = FolderPath::root("/");
    const auto file = [](const FolderPath& parent, const char* name, int64_t bytes) {
        return FileNode::under(parent, name, NodeFields{.allocatedSize = bytes, .fileCount = 1});
    };
    const FolderPath home = root.child("home");
    std::vector<FileNode> children{
        FileNode::folder(home, "home", std::nullopt, {file(home, "films.mkv", 90'000'000'000)}),
        file(root, "swapfile", 8'000'000'000),
        FileNode::folder(root.child("usr"), "usr", std::nullopt,
                         {file(root.child("usr"), "lib", 21'000'000'000)})};
    return ScanSnapshot{FileNode::folder(root, "/", std::nullopt, std::move(children)), "uuid-root", "Disk",
                        0};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(Theme::uiFont(13));
    const QStringList args = app.arguments();
    const QString folder = args.value(1, ".");
    const QSize size(args.value(2, "980").toInt(), args.value(3, "700").toInt());
    const QString scheme = args.value(4, "light");
    QDir().mkpath(folder);
    QTemporaryDir settingsFolder;

    const bool oneDisk = args.value(5) == "one";
    const bool manyDisks = args.value(5) == "many";
    const QString variant = oneDisk ? "-one" : (manyDisks ? "-many" : "");
    const auto shoot = [&](MainWindow& window, const QString& name) {
        settle(700);
        const QString path = QString("%1/%2%6-%3x%4-%5.png")
                                 .arg(folder, name)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(scheme, variant);
        screens::saveWindowAsShown(window, path);
    };

    std::vector<ScannableVolume> volumes{
        ScannableVolume{"/", ScannableVolume::startupName(), std::string("uuid-root"), 494'384'795'648,
                        123'456'789'012, true, false, true, 346'208'766'797},
        ScannableVolume{"/media/u/Backup", "Backup", std::string("uuid-b"), 2'000'398'934'016,
                        1'500'000'000'000, false, true, false, 400'398'934'016},
        ScannableVolume{"/media/u/card", "32 GB Volume", std::string("uuid-c"), 31'914'983'424, 1'000'000'000,
                        false, true, false, 30'914'983'424}};
    if (oneDisk) volumes.resize(1);
    for (int i = 1; manyDisks && i <= 4; ++i)
        volumes.push_back(ScannableVolume{"/media/u/Data" + std::to_string(i), "Data " + std::to_string(i),
                                          "uuid-d" + std::to_string(i), 1'000'204'886'016,
                                          400'000'000'000 * i / 2, false, false, true,
                                          1'000'204'886'016 - 400'000'000'000 * i / 2});
    const auto host = [&](bool withScan) {
        return ContentView::Host{[volumes] { return volumes; },
                                 SnapshotIO{[](ScanSnapshot) {},
                                            [withScan]() -> std::optional<ScanSnapshot> {
                                                if (!withScan) return std::nullopt;
                                                return madeUpScan();
                                            }},
                                 [] { return true; }};
    };
    const auto open = [&](std::vector<std::string> extra, bool withScan, AppSettings& settings) {
        LaunchOptions* options =
            new LaunchOptions{{"quillmere", "--appearance", scheme.toStdString()}, false};
        options->arguments.insert(options->arguments.end(), extra.begin(), extra.end());
        auto* window = new MainWindow(*options, settings, host(withScan));
        window->resize(size + QSize(0, window->menuBar()->sizeHint().height()));
        window->move(0, 0);
        window->show();
        window->activateWindow(); // as the desktop's window manager does; bare Xvfb has none
        QEventLoop loop;
        QObject::connect(&window->content(), &ContentView::launchTaskFinished, &loop, &QEventLoop::quit);
        window->content().runLaunchTask();
        loop.exec();
        return window;
    };

    {
        AppSettings settings(settingsFolder.filePath("picker.ini"));
        MainWindow* window = open({"--debug-skip-permission-gate"}, false, settings);
        shoot(*window, "picker");
        window->content().setSection(AppSection::systemData);
        shoot(*window, "systemdata-before");
        // A scan running while System Data is shown: its figures, no button.
        window->content().scanState().requestScan();
        window->content().scanState().setProgress(ScanProgress{61'234'567'890, 1'234'567, "/home", {}});
        shoot(*window, "systemdata-scanning");
        delete window;
    }
    for (const char* mode : {"list", "sunburst"}) {
        AppSettings settings(settingsFolder.filePath(QString("tree-%1.ini").arg(mode)));
        settings.setDiskViewMode(std::string(mode) == "list" ? DiskViewMode::list : DiskViewMode::sunburst);
        MainWindow* window = open({"--debug-skip-permission-gate", "--debug-select-largest"}, true, settings);
        shoot(*window, QString("tree-%1-inspector").arg(mode));
        if (std::string(mode) == "list") {
            window->content().setSection(AppSection::systemData);
            window->content().scanState().finishScan(DiskScanResult{madeUpScan().root, {}, 0, 1.0},
                                                     std::nullopt, "Disk");
            shoot(*window, "systemdata-reading");
        }
        delete window;
    }
    return 0;
}
