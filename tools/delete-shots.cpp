// Walks the real window through a removal over a scratch disk and pictures the screen at each
// step: an item selected, its delete sheet, the result, the window afterwards; then a System
// Data reclaim of the scratch home's caches. Removals go to a Trash in a scratch data folder.
// Usage: delete-shots OUTPUT_FOLDER light|dark   (under Xvfb; QT_SCALE_FACTOR=2 for 2x)

#include "ScreenStage.hpp"
#include "app/ContentView.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/SheetControls.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "ui/Theme.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace quillmere;

namespace {

using screens::settle;

bool waitFor(const std::function<bool()>& done) {
    return screens::waitFor(done, 600, 25);
}

void write(const std::string& path, std::size_t bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'q');
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    qputenv("XDG_DATA_HOME", scratch.filePath("data").toUtf8());
    QApplication app(argc, argv);
    QApplication::setFont(Theme::uiFont(13));
    const QString folder = app.arguments().value(1, ".");
    const QString scheme = app.arguments().value(2, "light");
    QDir().mkpath(folder);

    const std::string volume = FileNode::canonicalPath(scratch.filePath("disk").toStdString());
    const std::string home = volume + "/home/ann";
    write(home + "/Projects/render-cache.bin", 3'000'000);
    write(home + "/Projects/footage.mkv", 1'500'000);
    write(home + "/Projects/notes.txt", 2'000);
    write(home + "/Music/album.flac", 900'000);
    write(home + "/.cache/thumbnails/a.png", 400'000);
    write(home + "/.cache/fontconfig/b.cache", 120'000);

    ContentView::Host host{
        [volume] {
            return std::vector<ScannableVolume>{
                {volume, "Scratch", std::nullopt, 1 << 30, 1 << 29, true, false, true}};
        },
        SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }}, [] { return true; },
        [volume, home](const DiskScanResult& scan) {
            const auto locations = SystemDataLocations::make(
                volume, home, [](const std::string&) { return std::optional<std::string>(); }, {},
                [](const std::string&) { return false; });
            return SystemDataProbe(locations, SystemDataProbeServices::system())
                .probe(scan.root.allocatedSize(), 12'000'000, scan.root, scan.deniedPaths);
        }};
    LaunchOptions options{{"quillmere", "--debug-skip-permission-gate", "--appearance", scheme.toStdString()},
                          false};
    AppSettings settings(scratch.filePath("settings.ini"));
    MainWindow window(options, settings, host);
    window.resize(980, 700 + window.menuBar()->sizeHint().height());
    window.move(0, 0);
    window.show();
    window.activateWindow();
    ContentView& view = window.content();

    int step = 0;
    const auto shoot = [&](const QString& name) {
        settle(600);
        const QString path =
            QString("%1/delete-%2-%3-%4.png").arg(folder).arg(++step, 2, 10, QChar('0')).arg(name, scheme);
        screens::saveWindowAsShown(window, path);
    };
    const auto sheetOf = [](QWidget* widget) { return qobject_cast<DeleteConfirmationSheet*>(widget); };

    view.startScan(view.pickerVolumes().front());
    waitFor([&] { return !view.scanState().isScanning() && view.scanState().finishedScan(); });
    view.openNode(*view.scanState().finishedScan()->root.find(volume + "/home"));
    view.openNode(*view.scanState().finishedScan()->root.find(home));
    view.selection().setSelectedNode(*view.scanState().finishedScan()->root.find(home + "/Projects"));
    shoot("selected");

    QAbstractButton* deleteButton = nullptr;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isVisible() && button->text().startsWith("Delete")) deleteButton = button;
    if (!deleteButton) {
        std::cerr << "no Delete button on screen\n";
        return 1;
    }
    deleteButton->click();
    DeleteConfirmationSheet* sheet = sheetOf(view.deleteSheet());
    if (!sheet) return 1;
    sheet->move(window.frameGeometry().center() - QPoint(sheet->width() / 2, 200));
    shoot("sheet");
    sheet->confirmView()->confirmButton()->click();
    waitFor([&] { return sheet->outcome().has_value(); });
    shoot("result");
    sheet->resultView()->doneButton()->click();
    shoot("after");

    view.setSection(AppSection::systemData);
    waitFor([&] { return view.systemDataReport().has_value(); });
    shoot("systemdata");
    for (const SystemDataCategory& category : view.systemDataReport()->categories)
        if (category.id == systemdata_ids::userCaches) view.requestSystemDataReclaim({category});
    sheet = sheetOf(view.systemDataReclaimSheet());
    if (!sheet) return 1;
    sheet->move(window.frameGeometry().center() - QPoint(sheet->width() / 2, 200));
    shoot("reclaim-sheet");
    sheet->confirmView()->confirmButton()->click();
    waitFor([&] { return sheet->outcome().has_value(); });
    shoot("reclaim-result");
    const int64_t token = view.systemDataReprobeToken();
    sheet->resultView()->doneButton()->click();
    waitFor([&] { return view.systemDataReprobeToken() > token; });
    shoot("reclaim-after");
    return 0;
}
