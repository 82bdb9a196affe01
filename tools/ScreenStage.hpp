#pragma once

// What the screenshot tools share: a stage that draws the window background behind one view,
// and a way to picture that view in either scheme once it has settled.
#include "app/StageBackground.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <iostream>

namespace quillmere::screens {

// The folder named on the command line (the working folder without one), made if missing.
inline QString outputFolder(int argc, char** argv) {
    const QString folder = argc > 1 ? argv[1] : ".";
    QDir().mkpath(folder);
    return folder;
}

// Draws the screens in Inter at 13 pixels, the face their measurements were made with.
inline void useScreenFont() {
    QFont font("Inter");
    font.setPixelSize(13);
    QApplication::setFont(font);
}

class Stage : public QWidget {
public:
    explicit Stage(QWidget* content) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintStageBackground(painter, QRectF(rect()), Theme::isDark(this));
    }
};

// Runs the event loop for `ms`, so fades and animations finish before a picture is taken.
inline void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the event loop run in steps of `stepMs` until `done` holds or `steps` have passed; whether
// it came to hold.
inline bool waitFor(const std::function<bool()>& done, int steps, int stepMs) {
    for (int i = 0; i < steps && !done(); ++i)
        settle(stepMs);
    return done();
}

// Shows `content` on a stage of `size`, lets it settle for `settleMs` (0: only the events already
// queued) and saves a picture of it to `path`. `prepare` runs once the stage is shown, for what
// needs a window (focus, hover).
inline void saveOnStage(QWidget* content, bool dark, QSize size, const QString& path, int settleMs,
                        const std::function<void(Stage&)>& prepare = {}) {
    Stage stage(content);
    stage.setPalette(Theme::qtPalette(dark));
    stage.resize(size);
    stage.show();
    if (prepare) prepare(stage);
    if (settleMs > 0)
        settle(settleMs);
    else
        QApplication::processEvents();
    stage.grab().save(path);
    std::cout << path.toStdString() << '\n';
}

// Saves `window` as the desktop shows it, frame included, to `path`.
inline void saveWindowAsShown(const QWidget& window, const QString& path) {
    const QPixmap screen = window.screen()->grabWindow(0);
    const qreal ratio = screen.devicePixelRatio();
    const QRect frame = window.frameGeometry();
    screen.copy(QRect(frame.topLeft() * ratio, frame.size() * ratio)).save(path);
    std::cout << path.toStdString() << '\n';
}

} // namespace quillmere::screens
