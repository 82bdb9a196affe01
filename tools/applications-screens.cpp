// Renders the Applications screen's states that a window run cannot hold still to PNG files,
// in light and dark: loading, no match, orphans only, an empty inventory, the removable panel
// while it loads, the protected panel before its run, a dropped app and the drop card.
// Usage: applications-screens OUTPUT_FOLDER FIXTURE_ROOT   (QT_SCALE_FACTOR=2 renders at 2x)
// FIXTURE_ROOT is a disk written by make-app-fixture; the tool writes two small ones beside it.
// With "--linux" after FIXTURE_ROOT (a disk written by make-app-fixture --linux) it renders the
// list of Flatpak and Snap applications, a Flatpak and a snap's panel, one with its items
// ticked, and the orphan panel instead.
#include "ScreenStage.hpp"
#include "applications/model/DiskApplicationServices.hpp"
#include "applications/state/ApplicationsState.hpp"
#include "applications/view/ApplicationsView.hpp"
#include "applications/view/DetailPanels.hpp"
#include "applications/view/PackagedAppPanel.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

namespace {

using namespace quillmere;

using screens::Stage;

class NoPresenter : public ReclaimPresenter {
public:
    void present(QWidget*, ReclaimTarget, Finished) override {}
};

// The disk's services, with sizing held back by `sizingDelay` and discovery optionally stalled.
class ShownServices : public ApplicationServices {
public:
    ShownServices(const std::string& root, bool stallDiscovery, std::chrono::milliseconds sizingDelay,
                  bool linux = false)
        : disk_(environment(root, linux)), stall_(stallDiscovery), delay_(sizingDelay) {}
    static ApplicationEnvironment environment(const std::string& root, bool linux) {
        const ApplicationRoots roots =
            linux
                ? ApplicationRoots::onDisk(root, root + "/home/ann", [](const char*) { return std::nullopt; })
                : ApplicationRoots{.systemRoot = root, .home = root + "/Users/ann"};
        return ApplicationEnvironment{.roots = roots,
                                      .protection = ApplicationEnvironment::protectionFor(roots)};
    }
    std::vector<std::string> applicationFolders(const std::string& home) const override {
        return disk_.applicationFolders(home);
    }
    std::string library() const override { return disk_.library(); }
    void discover(std::vector<std::string> folders, std::function<void(InstalledApp)> onApp,
                  std::function<void()> onFinished, std::shared_ptr<ScanCancellation> cancellation) override {
        if (stall_) {
            // Ends only when the state goes, so the screen keeps loading.
            std::thread([cancellation, onFinished] {
                while (!cancellation->isCancelled())
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                onFinished();
            }).detach();
            return;
        }
        disk_.discover(std::move(folders), std::move(onApp), std::move(onFinished), std::move(cancellation));
    }
    InstalledApp read(const std::string& path) override { return disk_.read(path); }
    std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                              const std::string& library) override {
        return disk_.candidates(app, home, library);
    }
    std::vector<LeftoverItem> size(std::vector<LeftoverCandidate> candidates) override {
        std::this_thread::sleep_for(delay_);
        return disk_.size(std::move(candidates));
    }
    std::vector<LeftoverItem> markShared(std::vector<LeftoverItem> items, const InstalledApp& app,
                                         const std::vector<InstalledApp>& installed, const std::string& home,
                                         const std::string& library) override {
        return disk_.markShared(std::move(items), app, installed, home, library);
    }
    std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                                const std::vector<InstalledApp>& installed) override {
        return disk_.findGroups(home, library, installed);
    }

private:
    DiskApplicationServices disk_;
    bool stall_;
    std::chrono::milliseconds delay_;
};

void waitFor(const std::function<bool()>& done) {
    screens::waitFor(done, 1000, 10);
}

struct Shot {
    Shot(const std::string& root, bool dark, bool stall = false, std::chrono::milliseconds delay = {},
         bool linux = false)
        : state(std::make_shared<ShownServices>(root, stall, delay, linux), {},
                root + (linux ? "/home/ann" : "/Users/ann")),
          view(new ApplicationsView(state, presenter, {})), stage(view) {
        stage.setPalette(Theme::qtPalette(dark));
        stage.resize(980, 620);
        stage.show();
    }
    void settle() {
        waitFor([&] { return state.isAttributionComplete() && state.isInventoryComplete(); });
        screens::settle(600);
    }
    void save(const QString& path) {
        screens::settle(450);
        stage.grab().save(path);
        std::cout << path.toStdString() << '\n';
    }
    NoPresenter presenter;
    ApplicationsState state;
    ApplicationsView* view;
    Stage stage;
};

void writeFile(const std::string& path, int64_t bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << std::string(static_cast<size_t>(bytes), 'x');
}

// The largest application of that package system, as the list shows them.
std::optional<InstalledApp> appWith(const ApplicationsState& state, InstalledApp::Packaging packaging) {
    for (const ApplicationRow& row : filteredApplicationRows(state.apps(), state.attributions(), ""))
        if (row.app.packaging == packaging) return row.app;
    return std::nullopt;
}

// The Linux layout: the list, a Flatpak application's panel (as it opens, then with its data
// and cache ticked), a snap's panel and the orphan panel.
void linuxShots(const QString& folder, const std::string& root) {
    // Location lines are shown relative to the home folder, the fixture's here.
    qputenv("HOME", QByteArray::fromStdString(root + "/home/ann"));
    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "dark" : "light";
        Shot shot(root, dark, false, {}, true);
        shot.settle();
        shot.save(folder + "/linux-list-" + scheme + ".png");
        if (const auto flatpak = appWith(shot.state, InstalledApp::Packaging::flatpak)) {
            shot.view->selectApp(flatpak->path);
            shot.save(folder + "/linux-flatpak-panel-" + scheme + ".png");
            if (auto* panel = qobject_cast<PackagedAppPanel*>(shot.view->detailPanel());
                panel && panel->attribution())
                for (const LeftoverItem& item : clearableItems(*panel->attribution()))
                    if (item.name == "data" || item.name == "cache") panel->toggle(item.path);
            shot.save(folder + "/linux-flatpak-ticked-" + scheme + ".png");
        }
        if (const auto snap = appWith(shot.state, InstalledApp::Packaging::snap)) {
            shot.view->selectApp(snap->path);
            shot.save(folder + "/linux-snap-panel-" + scheme + ".png");
        }
        if (!shot.state.orphanGroups().empty()) {
            shot.view->selectOrphanGroup(shot.state.orphanGroups().front().id());
            shot.save(folder + "/linux-orphan-panel-" + scheme + ".png");
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    screens::useScreenFont();
    if (argc < 3) {
        std::cerr << "Usage: applications-screens OUTPUT_FOLDER FIXTURE_ROOT\n";
        return 2;
    }
    const QString folder = argv[1];
    const std::string root = argv[2];
    QDir().mkpath(folder);
    if (argc > 3 && std::string(argv[3]) == "--linux") {
        linuxShots(folder, root);
        return 0;
    }
    const std::string orphansOnly = root + "-orphans-only";
    const std::string empty = root + "-empty";
    std::filesystem::remove_all(orphansOnly);
    std::filesystem::remove_all(empty);
    writeFile(orphansOnly + "/Users/ann/Library/Application Support/Vanished Tool/data.bin", 120'000);
    writeFile(orphansOnly + "/Users/ann/Library/Caches/com.vanished.tool/cache.db", 40'000);
    std::filesystem::create_directories(empty + "/Users/ann");

    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "dark" : "light";
        {
            Shot shot(root, dark, true);
            shot.save(folder + "/loading-" + scheme + ".png");
        }
        {
            Shot shot(root, dark);
            shot.settle();
            std::set<std::string> all;
            for (const auto& group : shot.state.orphanGroups())
                for (const auto& entry : group.entries)
                    all.insert(entry.path);
            shot.state.applyOrphanRemoval(all);
            shot.state.setSearchText("  Photoshop ");
            shot.save(folder + "/no-match-" + scheme + ".png");
        }
        {
            Shot shot(orphansOnly, dark);
            shot.settle();
            shot.save(folder + "/orphans-only-" + scheme + ".png");
        }
        {
            Shot shot(empty, dark);
            shot.settle();
            shot.save(folder + "/empty-inventory-" + scheme + ".png");
        }
        {
            Shot shot(root, dark);
            shot.settle();
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(root + "/Applications/Tuner.app"))});
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(shot.view, &enter);
            shot.save(folder + "/drop-overlay-" + scheme + ".png");
            QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(shot.view, &drop);
            waitFor([&] { return shot.state.droppedAppAttribution().has_value(); });
            shot.save(folder + "/dropped-app-" + scheme + ".png");
        }
        {
            Shot shot(root, dark, false, std::chrono::milliseconds(4000));
            waitFor([&] { return shot.state.isInventoryComplete() && !shot.state.apps().empty(); });
            for (const InstalledApp& installed : shot.state.apps())
                if (!installed.isProtected) {
                    shot.view->selectApp(installed.path);
                    break;
                }
            shot.save(folder + "/removable-loading-" + scheme + ".png");
        }
        {
            Shot shot(root, dark);
            shot.settle();
            for (const InstalledApp& installed : shot.state.apps())
                if (installed.isProtected) {
                    shot.view->selectApp(installed.path);
                    break;
                }
            // Before any event is delivered, the panel's own run cannot have reported.
            if (QWidget* panel = shot.view->detailPanel()) {
                panel->setPalette(Theme::qtPalette(dark));
                panel->resize(302, 560);
                panel->grab().save(folder + "/protected-before-" + scheme + ".png");
                std::cout << (folder + "/protected-before-" + scheme + ".png").toStdString() << '\n';
            }
            shot.save(folder + "/protected-after-" + scheme + ".png");
        }
    }
    return 0;
}
