#include "app/MainWindow.hpp"

#include "app/ContentView.hpp"
#include "app/access/AboutView.hpp"
#include "app/access/SettingsView.hpp"
#include "app/state/AppSettings.hpp"
#include "ui/DesktopSettings.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QToolTip>

namespace quillmere {

MainWindow::MainWindow(const LaunchOptions& options, AppSettings& settings, QWidget* parent)
    : MainWindow(options, settings, ContentView::Host::system(), parent) {}

MainWindow::MainWindow(const LaunchOptions& options, AppSettings& settings, ContentView::Host host,
                       QWidget* parent)
    : QMainWindow(parent), options_(options), settings_(settings),
      desktop_(host.desktopSettings ? *host.desktopSettings : platform::DesktopSettings::shared()),
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
    connect(&desktop_, &platform::DesktopSettings::colorSchemeChanged, this, &MainWindow::applyAppearance);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) applicationBecameActive();
    });
    applyAppearance();
}

MainWindow::~MainWindow() {
    delete about_;
    delete settingsWindow_;
}

void MainWindow::applyAppearance() {
    std::optional<bool> dark = resolvedDarkAppearance(options_, settings_.appearance());
    // Without a choice the window follows the desktop: its colour preference when it states
    // one, else its palette, whose lightness the views read.
    if (!dark && desktop_.colorScheme() != platform::DesktopSettings::ColorScheme::noPreference)
        dark = desktop_.colorScheme() == platform::DesktopSettings::ColorScheme::dark;
    setPalette(dark ? Theme::qtPalette(*dark) : QApplication::palette());
    // Tooltips are windows of their own with the platform's pale yellow; they take the theme's
    // colours of the window's appearance instead.
    QToolTip::setPalette(Theme::qtPalette(dark.value_or(Theme::isDark(palette()))));
    if (about_) about_->setPalette(palette());
    if (settingsWindow_) settingsWindow_->setPalette(palette());
    update();
}

void MainWindow::applicationBecameActive() {
    content_->reprobeAccess();
    if (settingsWindow_ && settingsWindow_->isVisible()) settingsWindow_->refresh();
}

void MainWindow::openAbout() {
    if (!about_) {
        about_ = new AboutView;
        about_->setWindowTitle("About Quillmere");
        // Closing hides it, so it opens again where the user left it; the first time it is
        // placed at the centre of the screen.
        about_->setPalette(palette());
        if (const QScreen* screen = this->screen())
            about_->move(screen->availableGeometry().center() - about_->rect().center());
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::openSettings() {
    if (!settingsWindow_) {
        const ContentView::Host& host = content_->host();
        auto* form = new SettingsView(settings_, {host.hasFullDiskAccess, host.savedScan, host.openUrl});
        form->setWindowTitle("Settings");
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->setPalette(palette());
        settingsWindow_ = form;
    } else {
        settingsWindow_->refresh();
    }
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
