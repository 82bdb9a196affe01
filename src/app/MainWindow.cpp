#include "app/MainWindow.hpp"

#include "app/ContentView.hpp"
#include "app/Placeholders.hpp"
#include "app/state/AppSettings.hpp"
#include "app/ui/Theme.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QToolTip>

namespace quillmere {
namespace {

// A separate window showing one of the views that come with the access and settings layer.
QWidget* makeSideWindow(const QString& title, const QString& viewName, QSize size) {
    auto* window = new PlaceholderView(viewName);
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(size);
    return window;
}

} // namespace

MainWindow::MainWindow(const LaunchOptions& options, AppSettings& settings, QWidget* parent)
    : MainWindow(options, settings, ContentView::Host::system(), parent) {}

MainWindow::MainWindow(const LaunchOptions& options, AppSettings& settings, ContentView::Host host,
                       QWidget* parent)
    : QMainWindow(parent), options_(options), settings_(settings),
      content_(new ContentView(options, settings, std::move(host), this)) {
    setWindowTitle("Quillmere");
    setCentralWidget(content_);

    QMenu* application = menuBar()->addMenu("Quillmere");
    application->addAction("About Quillmere", this, &MainWindow::openAbout);
    application->addAction("Settings\u2026", QKeySequence::Preferences, this, &MainWindow::openSettings);
    application->addSeparator();
    application->addAction("Quit Quillmere", QKeySequence::Quit, qApp, &QApplication::quit);

    // The sizes are the content's: the content view holds its own minimum, and the window adds
    // its menu bar to it, so at the smallest window size every bar still lies inside.
    resize(QSize(980, 700) + QSize(0, menuBar()->sizeHint().height()));

    connect(content_, &ContentView::openSettingsRequested, this, &MainWindow::openSettings);
    connect(&settings_, &AppSettings::appearanceChanged, this, &MainWindow::applyAppearance);
    applyAppearance();
}

void MainWindow::applyAppearance() {
    const std::optional<bool> dark = resolvedDarkAppearance(options_, settings_.appearance());
    // Without a choice the window follows the system's palette; the views read its lightness.
    setPalette(dark ? Theme::qtPalette(*dark) : QApplication::palette());
    // Tooltips are windows of their own with the platform's pale yellow; they take the theme's
    // colours of the window's appearance instead.
    QToolTip::setPalette(Theme::qtPalette(dark.value_or(Theme::isDark(palette()))));
    update();
}

void MainWindow::openAbout() {
    if (!about_) about_ = makeSideWindow("About Quillmere", "AboutView", {420, 320});
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::openSettings() {
    if (!settingsWindow_) settingsWindow_ = makeSideWindow("Settings", "SettingsView", {520, 420});
    settingsWindow_->show();
    settingsWindow_->raise();
    settingsWindow_->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (content_->isReclaimRunning()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

} // namespace quillmere
