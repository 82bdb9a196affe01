#include "access/AccessAuditor.hpp"
#include "base/Format.hpp"
#include "platform/Descriptors.hpp"
#include "platform/Thread.hpp"
#include "scan/DiskScanner.hpp"
#include "scan/ScanReport.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>

#if defined(QUILLMERE_WITH_UI)
#include "app/ApplicationIdentity.hpp"
#include "app/ContentView.hpp"
#include "app/LaunchOptions.hpp"
#include "app/MainWindow.hpp"
#include "app/state/AppSettings.hpp"
#include "ui/DesktopSettings.hpp"
#include "ui/PaintingThreads.hpp"

#include <QApplication>
#include <QFont>
#endif

namespace {

constexpr size_t kWorkerStarterStackBytes = 1024 * 1024;

// The command-line report: scans "/", prints, exits 0. Decided before anything touches a
// display, so it runs on machines without one.
[[noreturn]] void runScanReportAndExit() {
    std::ios::sync_with_stdio(false);
    quillmere::runScanDebugReport("/", std::cout, quillmere::AccessAuditor::hasFullDiskAccess());
    std::cout.flush();
    std::exit(0);
}

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a file: a scan keeps many folders open at once.
    quillmere::platform::raiseDescriptorLimit();
#if defined(QUILLMERE_WITH_UI)
    const quillmere::LaunchOptions options = quillmere::LaunchOptions::fromProcess(argc, argv);
    if (options.wantsScanDebugReport()) runScanReportAndExit();
    // A test host shows nothing and keeps running; it needs no display.
    if (options.isTestHost) {
        QCoreApplication host(argc, argv);
        return host.exec();
    }
    // Without a display Qt would abort with a note about platform plugins; say what is wrong.
    const auto environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    if (!quillmere::hasGraphicalSession(options, environment)) {
        std::cerr << quillmere::kNoGraphicalSessionMessage << '\n';
        return quillmere::kNoGraphicalSessionStatus;
    }
    // The user's digit grouping is read from the environment before Qt starts, which edits it
    // (a launcher's startup id is taken out) while the workers' thread would be reading it.
    quillmere::loadDigitGrouping();
    // The scan's workers start while Qt does: the first scan begins as the window shows.
    (void)quillmere::platform::startDetachedThread([] { quillmere::DiskScanner::startWorkers(); },
                                                   kWorkerStarterStackBytes);
    QApplication app(argc, argv);
    quillmere::limitPaintingThreads();
    QApplication::setApplicationName("Quillmere");
    QApplication::setOrganizationName("Quillmere");
    QApplication::setApplicationDisplayName("Quillmere");
    QApplication::setApplicationVersion(QUILLMERE_VERSION);
    quillmere::presentApplicationToDesktop();
    QFont font("Inter");
    font.setPixelSize(13);
    QApplication::setFont(font);
    // The desktop's reduce-motion and colour preferences are asked for now, so their answers are
    // in before they matter.
    quillmere::platform::DesktopSettings::shared();
    quillmere::AppSettings settings;
    quillmere::MainWindow window(options, settings);
    window.show();
    // Keyboard focus starts on the window's first control, shown with its ring; a display
    // without a window manager would otherwise never give the window the keyboard.
    window.activateWindow();
    window.content().runLaunchTask();
    return app.exec();
#else
    // The model-only build (sanitizer runs) has just the command-line report.
    const bool testHost = std::getenv("XCTestConfigurationFilePath") != nullptr;
    for (int i = 0; i < argc && !testHost; ++i)
        if (std::strcmp(argv[i], "--scan-debug") == 0) runScanReportAndExit();
    if (testHost) return 0;
    std::cerr << "This build of Quillmere has no window. Run it with --scan-debug for the command-line scan "
                 "report.\n";
    return 2;
#endif
}
