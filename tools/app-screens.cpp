// Renders the window's scan screens to PNG files, in light and dark, for looking at them.
// Usage: app-screens OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)
#include "app/ScanScreens.hpp"
#include "app/ui/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <iostream>

namespace {

class Stage : public QWidget {
public:
    explicit Stage(QWidget* screen) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(screen);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        quillmere::paintStageBackground(painter, QRectF(rect()), quillmere::Theme::isDark(this));
    }
};

void save(QWidget* screen, bool dark, const QString& path) {
    Stage stage(screen);
    stage.setPalette(quillmere::Theme::qtPalette(dark));
    stage.resize(980, 620);
    stage.show();
    // Let fades finish before taking the picture.
    QEventLoop settle;
    QTimer::singleShot(450, &settle, &QEventLoop::quit);
    settle.exec();
    stage.grab().save(path);
    std::cout << path.toStdString() << '\n';
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont font("Inter");
    font.setPixelSize(13);
    QApplication::setFont(font);
    const QString folder = argc > 1 ? argv[1] : ".";
    QDir().mkpath(folder);
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
