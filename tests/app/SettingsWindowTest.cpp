// The Settings window inside the application: the user's own settings file, the main
// window's writes reaching the form, and activation refreshing an open form.
#include "AccessScreenProbe.hpp"
#include "access/HelperServiceManager.hpp"
#include "app/MainTopBar.hpp"
#include "app/MainWindow.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/access/SettingsView.hpp"
#include "app/state/AppSettings.hpp"
#include "scan/ScanSnapshot.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace quillmere {
namespace {

using testing::shownButton;
using testing::shownTexts;

// A fresh user configuration folder. Qt reads XDG_CONFIG_HOME once per process for its
// settings, so the folder is also handed to it directly, and the user's own is put back after.
struct ConfigHome {
    QTemporaryDir folder;
    const std::optional<QByteArray> before = qEnvironmentVariableIsSet("XDG_CONFIG_HOME")
                                                 ? std::optional(qgetenv("XDG_CONFIG_HOME"))
                                                 : std::nullopt;
    ConfigHome() {
        qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    }
    ~ConfigHome() {
        if (before)
            qputenv("XDG_CONFIG_HOME", *before);
        else
            qunsetenv("XDG_CONFIG_HOME");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    QString fileText() const {
        QFile file(folder.filePath("Quillmere/Quillmere.conf"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll());
    }
};

// A window over one made-up volume, with access, the saved scan and the helper's status
// changeable behind its back.
struct Window {
    QTemporaryDir folder;
    LaunchOptions options{{"quillmere"}, false};
    bool granted = false;
    std::string snapshot = folder.filePath("last-scan.qlmrsnap").toStdString();
    std::shared_ptr<FakeHelperServiceManager> service = std::make_shared<FakeHelperServiceManager>();

    ContentView::Host host() {
        ContentView::Host host;
        host.listVolumes = [] {
            return std::vector<ScannableVolume>{
                ScannableVolume{"/", "Disk", std::string("uuid-root"), 1000, 500, true, false, true}};
        };
        host.snapshotIO = SnapshotIO{[](ScanSnapshot) {}, [] { return std::optional<ScanSnapshot>(); }};
        host.hasFullDiskAccess = [this] { return granted; };
        host.openUrl = [](const QUrl&) {};
        host.savedScan = SavedScanLocator{
            [this] { return snapshot; }, [] { return std::optional<std::string>("uuid-root"); },
            [](const std::string& path) { return std::filesystem::remove(path); }};
        host.helperService = service;
        host.helperSocket = folder.filePath("helper.sock").toStdString();
        return host;
    }
};

QCheckBox* toggle(const SettingsView& form, const QString& title) {
    return qobject_cast<QCheckBox*>(shownButton(form, title));
}

TEST(SettingsWindow, TheFormWritesTheUsersSettingsFileAndFollowsTheMainWindowsView) {
    ConfigHome config;
    AppSettings settings;
    EXPECT_EQ(settings.fileName(), config.folder.filePath("Quillmere/Quillmere.conf"));
    Window setup;
    MainWindow window(setup.options, settings, setup.host());
    window.openSettings();
    SettingsView& form = *window.settingsWindow();

    auto* picker = form.findChild<QComboBox*>();
    picker->setCurrentIndex(picker->findText("Light"));
    emit picker->activated(picker->currentIndex());
    settings.waitUntilWritten();
    EXPECT_TRUE(config.fileText().contains("appearance=light"));
    EXPECT_EQ(AppSettings().appearance(), "light");

    QCheckBox* gauge = toggle(form, "Show how full the disk is around the rings");
    QCheckBox* launch = toggle(form, "Scan automatically when Quillmere opens");
    gauge->click();
    launch->click();
    settings.waitUntilWritten();
    EXPECT_TRUE(config.fileText().contains("showsCapacityGauge=false"));
    EXPECT_TRUE(config.fileText().contains("scansOnLaunch=true"));
    {
        AppSettings fresh;
        EXPECT_FALSE(fresh.showsCapacityGauge());
        EXPECT_TRUE(fresh.scansOnLaunch());
    }

    // The view chosen in the main window's bar decides, live, whether the toggle can change.
    auto* bar = qobject_cast<MainTopBar*>(window.content().topBar());
    emit bar->viewModeSelected(DiskViewMode::treemap);
    settings.waitUntilWritten();
    EXPECT_TRUE(config.fileText().contains("diskViewMode=treemap"));
    EXPECT_FALSE(gauge->isEnabled());
    EXPECT_FALSE(gauge->isChecked());
    emit bar->viewModeSelected(DiskViewMode::sunburst);
    EXPECT_TRUE(gauge->isEnabled());
}

TEST(SettingsWindow, SettingsAndAboutKeepTheirWidthsOnScreenAndShowAllTheyHold) {
    QTemporaryDir folder;
    AppSettings settings(folder.filePath("Quillmere.conf"));
    Window setup;
    MainWindow window(setup.options, settings, setup.host());
    window.openSettings();
    SettingsView* form = window.settingsWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_EQ(form->width(), 460);
    // Every row lies inside the window, the button of the missing access included.
    const auto inside = [](const QWidget& window) {
        for (const QWidget* child : window.findChildren<QWidget*>())
            if (child->isVisible() &&
                !window.rect().contains(child->mapTo(&window, child->rect().bottomRight())))
                return false;
        return true;
    };
    EXPECT_TRUE(inside(*form));
    const int heightWithButton = form->height();
    setup.granted = true;
    window.applicationBecameActive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->height() < heightWithButton; }, 30000));
    EXPECT_EQ(form->width(), 460);
    EXPECT_TRUE(inside(*form));

    window.openAbout();
    QWidget* about = window.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(about->width(), 360);
    EXPECT_TRUE(inside(*about));
}

TEST(SettingsWindow, ActivationProbesTheWindowAgainAndRefreshesAnOpenForm) {
    QTemporaryDir folder;
    AppSettings settings(folder.filePath("Quillmere.conf"));
    Window setup;
    MainWindow window(setup.options, settings, setup.host());
    window.openSettings();
    SettingsView* form = window.settingsWindow();
    ASSERT_TRUE(form->isVisible());
    EXPECT_TRUE(shownTexts(*form).contains("Not granted"));
    EXPECT_TRUE(shownTexts(*form).contains("None"));
    EXPECT_EQ(window.content().privilegedScan()->status(), PrivilegedScanStatus::off());

    // Access granted, a scan saved and the helper approved, all while the application was away.
    setup.granted = true;
    const FolderPath root = FolderPath::root("/");
    ASSERT_TRUE(ScanSnapshotStore::save(
        ScanSnapshot{FileNode::folder(root, "/", std::nullopt, {}), "uuid-root", "Disk", 1765220700},
        setup.snapshot));
    setup.service->setRawStatus(PrivilegedScanStatus::kEnabled);
    EXPECT_TRUE(shownTexts(*form).contains("Not granted"));

    window.applicationBecameActive();
    EXPECT_TRUE(shownTexts(*form).contains("Granted"));
    EXPECT_EQ(shownButton(*form, "Open System Settings\u2026"), nullptr);
    EXPECT_EQ(form->savedScan(), (SavedScanSummary{"Disk", 1765220700}));
    EXPECT_TRUE(shownButton(*form, "Forget saved scan")->isEnabled());
    EXPECT_TRUE(window.content().isFullDiskAccessGranted());
    EXPECT_EQ(window.content().privilegedScan()->status(), PrivilegedScanStatus::on());

    // A closed form is gone; activation then concerns the window alone.
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.settingsWindow(), nullptr);
    setup.granted = false;
    window.applicationBecameActive();
    EXPECT_FALSE(window.content().isFullDiskAccessGranted());
}

} // namespace
} // namespace quillmere
