// Scans a folder in the window's own flow (offscreen) and reports the longest stall of the
// main thread while the scan runs and while its result is taken in.
// Usage: QT_QPA_PLATFORM=offscreen window-latency FOLDER
#include "app/ContentView.hpp"
#include "app/state/AppSettings.hpp"
#include "app/state/ScanState.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: window-latency FOLDER\n";
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    quillmere::AppSettings settings(folder.filePath("settings.ini"));
    const quillmere::LaunchOptions options{{"window-latency", "--debug-skip-permission-gate"}, false};
    const quillmere::ScannableVolume volume{argv[1], "Folder", std::nullopt, 1LL << 40,
                                            0,       false,    false,        true};
    quillmere::ContentView view(
        options, settings,
        {[&] { return std::vector{volume}; },
         {[](quillmere::ScanSnapshot) {}, [] { return std::optional<quillmere::ScanSnapshot>(); }},
         [] { return true; }});
    view.resize(980, 700);
    view.show();

    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    QObject::connect(&view.scanState(), &quillmere::ScanState::isScanningChanged, [&] {
        if (view.scanState().isScanning()) return;
        QTimer::singleShot(300, &app, [&] {
            std::cout << "scan and display took " << clock.elapsed() << " ms; longest main-thread gap "
                      << longest << " ms (timer interval 5 ms)\n";
            app.quit();
        });
    });
    clock.start();
    sinceTick.start();
    probe.start();
    view.startScan(volume);
    return app.exec();
}
