#pragma once

#include "app/ContentView.hpp"
#include "app/LaunchOptions.hpp"
#include "app/access/SettingsView.hpp"

#include <QMainWindow>
#include <QPointer>

namespace quillmere {

class AppSettings;
class ContentView;

// The main window: content of 980 × 700 by default, never smaller than 760 × 560, holding the content
// view in the appearance chosen by the launch switch, the setting or the desktop (its colour
// preference, else its palette), following the desktop's changes while the setting says "system".
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const LaunchOptions& options, AppSettings& settings, QWidget* parent = nullptr);
    // Over a made-up host (tests, pictures of the window).
    MainWindow(const LaunchOptions& options, AppSettings& settings, ContentView::Host host,
               QWidget* parent = nullptr);
    ~MainWindow() override;
    ContentView& content() { return *content_; }

    void openAbout();
    void openSettings();
    QWidget* aboutWindow() const { return about_; }
    SettingsView* settingsWindow() const { return settingsWindow_; }
    // The application came to the front: the window probes access, the helper and the volumes
    // again, and an open Settings form reads the probe and the saved scan anew.
    void applicationBecameActive();

protected:
    // Refused while a confirmed removal runs: it is never abandoned half-way.
    void closeEvent(QCloseEvent* event) override;

private:
    void applyAppearance();

    const LaunchOptions& options_;
    AppSettings& settings_;
    platform::DesktopSettings& desktop_;
    ContentView* content_;
    QPointer<QWidget> about_;
    QPointer<SettingsView> settingsWindow_;
};

} // namespace quillmere
