#include "app/LaunchOptions.hpp"
#include "scan/ScanReport.hpp"

#include <cstdlib>
#include <iostream>

#if defined(QUILLMERE_WITH_UI)
#include "app/ContentView.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"

#include <QApplication>
#include <QFont>
#endif

int main(int argc, char** argv) {
    const quillmere::LaunchOptions options = quillmere::LaunchOptions::fromProcess(argc, argv);
    // Decided before anything touches a display, so the report runs on machines without one.
    if (options.wantsScanDebugReport()) {
        std::ios::sync_with_stdio(false);
        quillmere::runScanDebugReport("/", std::cout);
        std::cout.flush();
        std::exit(0);
    }
#if defined(QUILLMERE_WITH_UI)
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillmere");
    QApplication::setOrganizationName("Quillmere");
    QApplication::setApplicationDisplayName("Quillmere");
    QFont font("Inter");
    font.setPixelSize(13);
    QApplication::setFont(font);
    // A test host shows nothing and keeps running.
    if (options.isTestHost) return app.exec();
    quillmere::AppSettings settings;
    quillmere::MainWindow window(options, settings);
    window.show();
    window.content().runLaunchTask();
    return app.exec();
#else
    if (options.isTestHost) return 0;
    std::cerr << "This build of Quillmere has no window. Run it with --scan-debug for the command-line scan "
                 "report.\n";
    return 2;
#endif
}
