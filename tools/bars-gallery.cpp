// Renders the window's top bar, path bar and volume picker to PNG files, in light and dark,
// for looking at them.
// Usage: bars-gallery OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)
#include "ScreenStage.hpp"
#include "app/BottomPathBar.hpp"
#include "app/MainTopBar.hpp"
#include "app/VolumePickerView.hpp"
#include "app/state/NavigationHistory.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QEnterEvent>
#include <functional>

using namespace quillmere;

namespace {

using screens::Stage;

// `prepare` runs once the stage is shown, for what needs a window (focus, hover).
void save(QWidget* content, bool dark, QSize size, const QString& path,
          const std::function<void(Stage&)>& prepare = {}) {
    screens::saveOnStage(content, dark, size, path, 450, prepare);
}

MainTopBar* topBar(bool nodeSelected) {
    auto* bar = new MainTopBar;
    bar->setSectionsReachable(true);
    bar->setHasTree(true);
    bar->setCanChooseAnotherDisk(true);
    bar->setHasNodeSelected(nodeSelected);
    bar->setViewMode(DiskViewMode::treemap);
    return bar;
}

// A small tree: / > Users > alice > Projects, each folder with a file beside the next one.
FileNode folderChain(std::vector<FileNode>& chain) {
    const FolderPath root = FolderPath::root("/");
    const FolderPath users = root.child("Users");
    const FolderPath alice = users.child("alice");
    const FolderPath projects = alice.child("Projects");
    const auto file = [](const FolderPath& parent, const char* name, int64_t bytes) {
        return FileNode::under(parent, name, NodeFields{.allocatedSize = bytes, .fileCount = 1});
    };
    const FileNode projectsNode =
        FileNode::folder(projects, "Projects", std::nullopt, {file(projects, "render.mov", 4'000'000'000)});
    const FileNode aliceNode =
        FileNode::folder(alice, "alice", std::nullopt, {projectsNode, file(alice, "notes.txt", 12'000)});
    const FileNode usersNode = FileNode::folder(users, "Users", std::nullopt, {aliceNode});
    const FileNode rootNode =
        FileNode::folder(root, "/", std::nullopt, {usersNode, file(root, "swapfile", 2'000'000'000)});
    chain = {rootNode, usersNode, aliceNode, projectsNode};
    return rootNode;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(Theme::uiFont(13));
    const QString folder = screens::outputFolder(argc, argv);

    std::vector<FileNode> chain;
    const FileNode root = folderChain(chain);
    NavigationHistory history;
    history.reset(root, "Computer");
    for (size_t depth = 2; depth <= chain.size(); ++depth)
        history.visit({chain.begin(), chain.begin() + std::ptrdiff_t(depth)});

    const std::vector<ScannableVolume> volumes{
        {"/", "Computer", "uuid-root", 494'384'795'648, 123'456'789'012, true, false, true},
        {"/media/backup", "Backup", "uuid-backup", 2'000'398'934'016, 1'624'000'000'000, false, true, false},
    };

    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "dark" : "light";
        const int height = MainTopBar::kHeight;
        save(topBar(false), dark, {980, height}, folder + "/top-bar-980-" + scheme + ".png");
        save(topBar(false), dark, {760, height}, folder + "/top-bar-760-" + scheme + ".png");
        save(topBar(true), dark, {760, height}, folder + "/top-bar-760-details-" + scheme + ".png");
        save(topBar(false), dark, {1180, height}, folder + "/top-bar-1180-" + scheme + ".png");
        // Keyboard focus on the second tab, as after pressing Tab twice.
        MainTopBar* focused = topBar(false);
        save(focused, dark, {980, height}, folder + "/top-bar-focus-" + scheme + ".png",
             [focused](Stage& stage) {
                 stage.activateWindow();
                 stage.setAttribute(Qt::WA_KeyboardFocusChange);
                 focused->tabs()->tab(AppSection::systemData)->setFocus(Qt::TabFocusReason);
             });

        save(new BottomPathBar(history), dark, {980, BottomPathBar::kHeight},
             folder + "/path-bar-" + scheme + ".png");

        auto* picker = new VolumePickerView;
        picker->setVolumes(volumes);
        save(picker, dark, {980, 560}, folder + "/volume-picker-" + scheme + ".png", [picker](Stage&) {
            VolumeTile* tile = picker->tiles().first();
            const QPointF inside(20, 20);
            QEnterEvent enter(inside, tile->mapTo(tile->window(), inside), tile->mapToGlobal(inside));
            QApplication::sendEvent(tile, &enter);
        });
    }
    return 0;
}
