// Shows the access screens in each of their states in real windows and saves a picture of each,
// in light and dark. Usage: access-screens OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)
#include "ScreenStage.hpp"
#include "access/HelperServiceManager.hpp"
#include "app/ApplicationIdentity.hpp"
#include "app/access/AboutView.hpp"
#include "app/access/CantSeeView.hpp"
#include "app/access/FullDiskAccessBanner.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/access/PrivilegedScanSection.hpp"
#include "app/access/SettingsView.hpp"
#include "app/state/AppSettings.hpp"
#include "scan/ScanSnapshot.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <iostream>

using namespace quillmere;

namespace {

class Stage : public QWidget {
public:
    explicit Stage(QWidget* screen) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(screen);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Theme::palette(this).bg1); }
};

void save(QWidget* screen, bool dark, QSize size, const QString& path) {
    Stage stage(screen);
    stage.setPalette(Theme::qtPalette(dark));
    if (size.isValid())
        stage.resize(size);
    else
        stage.adjustSize();
    stage.show();
    screens::settle(200);
    stage.grab().save(path);
    std::cout << path.toStdString() << '\n';
}

AccessAudit auditOf(int64_t hidden, bool granted, std::vector<AccessAuditLocation> locations = {}) {
    return AccessAudit{2'000'000'000, 2'000'000'000 - hidden, hidden, std::move(locations), granted};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    screens::useScreenFont();
    QApplication::setApplicationVersion("0.1.0");
    presentApplicationToDesktop();
    const QString folder = screens::outputFolder(argc, argv);
    QTemporaryDir scratch;
    AppSettings settings(scratch.filePath("Quillmere.conf"));
    const std::string snapshot = scratch.filePath("last-scan.qlmrsnap").toStdString();
    const FolderPath root = FolderPath::root("/");
    (void)ScanSnapshotStore::save(
        ScanSnapshot{
            FileNode::folder(root, "/", std::nullopt,
                             {FileNode::under(root, "a", NodeFields{.allocatedSize = 10, .fileCount = 1})}),
            "uuid", "Macintosh HD", 1765220700},
        snapshot);
    FakeHelperServiceManager service;
    CapturedPrivilegedScanLog log;
    auto client =
        std::make_shared<PrivilegedScanClient>(service, log, PrivilegedScanClient::Options{"/nonexistent"});
    PrivilegedScanController controller(client);
    const std::vector<AccessAuditLocation> locations{{"~/Library", 900'000'000, 12},
                                                     {"Other users' home folders", 200'000'000, 1},
                                                     {"/root", 100'000, 0},
                                                     {"/var", 4'000, 3},
                                                     {"/srv", 2'000, 2}};

    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "-dark" : "-light";
        for (const bool granted : {false, true})
            save(new PermissionGateView(granted, {}), dark, {980, 700},
                 folder + "/gate-" + (granted ? "granted" : "denied") + scheme + ".png");
        save(new PermissionGateView(false, {}), dark, {760, 560}, folder + "/gate-minimum" + scheme + ".png");

        for (const bool granted : {false, true}) {
            auto* host = new QWidget;
            auto* banner = new FullDiskAccessBanner({}, host);
            banner->setAudit(auditOf(granted ? 1'230'000'000 : 0, granted));
            banner->setGeometry(
                QRect(QPoint(20, 20), QSize(banner->maximumWidth(), banner->sizeHint().height())));
            save(host, dark, {620, 140},
                 folder + "/banner-" + (granted ? "granted" : "denied") + scheme + ".png");
        }

        service.setRawStatus(PrivilegedScanStatus::kNotRegistered);
        controller.reread();
        save(new CantSeeView(auditOf(1'100'106'000, false, locations), &controller, {}), dark, {560, 520},
             folder + "/cantsee-rows" + scheme + ".png");
        save(new CantSeeView(std::nullopt, nullptr, {}), dark, {560, 420},
             folder + "/cantsee-waiting" + scheme + ".png");
        save(new CantSeeView(auditOf(0, true), nullptr, {}), dark, {560, 420},
             folder + "/cantsee-nothing" + scheme + ".png");

        const std::pair<const char*, PrivilegedScanStatus> states[] = {
            {"on", PrivilegedScanStatus::on()},
            {"awaiting", PrivilegedScanStatus::awaitingApproval()},
            {"failed", PrivilegedScanStatus::failed("boom")},
            {"off", PrivilegedScanStatus::off()}};
        for (const auto& [name, status] : states) {
            controller.setStatus(status);
            save(new PrivilegedScanSection(controller), dark, {520, 0},
                 folder + "/section-" + name + scheme + ".png");
        }

        for (const bool granted : {false, true}) {
            SavedScanLocator locator{[snapshot] { return snapshot; },
                                     [] { return std::optional<std::string>("uuid"); },
                                     [](const std::string&) { return false; }};
            save(new SettingsView(settings, {[granted] { return granted; }, locator, {}}), dark, {},
                 folder + "/settings-" + (granted ? "granted" : "denied") + scheme + ".png");
        }
        save(new AboutView, dark, {}, folder + "/about" + scheme + ".png");
    }
    return 0;
}
