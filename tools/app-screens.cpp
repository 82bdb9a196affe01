// Renders the window's scan screens to PNG files, in light and dark, for looking at them.
// Usage: app-screens OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)
#include "ScreenStage.hpp"
#include "app/ScanScreens.hpp"

#include <QApplication>

namespace {

void save(QWidget* screen, bool dark, const QString& path) {
    // Let fades finish before taking the picture.
    quillmere::screens::saveOnStage(screen, dark, {980, 620}, path, 450);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quillmere::screens::useScreenFont();
    const QString folder = quillmere::screens::outputFolder(argc, argv);
    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "dark" : "light";
        auto* ready = new quillmere::ReadyToScanView;
        ready->setVolumeName("Computer");
        save(ready, dark, folder + "/ready-" + scheme + ".png");

        auto* waiting = new quillmere::ScanningIllustrationView;
        waiting->setVolume("Computer", 494'384'795'648);
        waiting->setAnimationClock(0.9);
        save(waiting, dark, folder + "/scanning-start-" + scheme + ".png");

        auto* scanning = new quillmere::ScanningIllustrationView;
        scanning->setVolume("Computer", 494'384'795'648);
        scanning->setAnimationClock(1.7);
        scanning->setProgress(quillmere::ScanProgress{187'654'321'000, 1'234'567, "/Users", {}});
        save(scanning, dark, folder + "/scanning-" + scheme + ".png");
    }
    return 0;
}
