#include "app/state/NavigationHistory.hpp"

#include "scan/ScannableVolume.hpp"
#include "scan/TreeBuilders.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::file;
using testing::folder;
using Strings = std::vector<std::string>;

Strings paths(const NavigationHistory::Visit& chain) {
    Strings out;
    for (const FileNode& node : chain)
        out.push_back(node.path());
    return out;
}

const FileNode c = folder("/v/a/b/c", {file("/v/a/b/c/f", 10)});
const FileNode b = folder("/v/a/b", {c});
const FileNode a = folder("/v/a", {b});
const FileNode d = folder("/v/d", {});
const FileNode root = folder("/v", {a, d});

TEST(NavigationHistory, WalksOnlyAfterAResetAndDropsForwardVisits) {
    NavigationHistory history;
    history.visit({root, a});
    EXPECT_EQ(history.currentIndex(), -1);
    EXPECT_EQ(history.breadcrumb(), Strings{ScannableVolume::startupName()});

    history.reset(root, "Data");
    EXPECT_EQ(history.breadcrumb(), Strings{"Data"});
    history.visit({root, a});
    history.visit({root, a, b});
    EXPECT_EQ(history.breadcrumb(), (Strings{"Data", "a", "b"}));
    QSignalSpy index(&history, &NavigationHistory::currentIndexChanged);
    history.goForward();
    history.goBack();
    history.goBack();
    history.goBack();
    EXPECT_EQ(index.count(), 2);
    EXPECT_TRUE(history.canGoForward());

    history.visit({root, d});
    history.visit({root, d}); // the folder shown again is a second entry
    EXPECT_EQ(history.visits().size(), 3u);
    EXPECT_EQ(history.currentIndex(), 2);
    EXPECT_EQ(paths(history.visits()[1]), (Strings{"/v", "/v/d"}));

    history.clear();
    EXPECT_EQ(history.currentIndex(), -1);
    EXPECT_EQ(history.breadcrumb(), Strings{"Data"});
}

// The views move with the navigation transition only when a step moved the history; a reset
// (a finished or saved scan), a clear or a remap (a deletion) shows the folder at once.
TEST(NavigationHistory, CountsOnlyTheStepsThatMovedItBeforeTellingAnyone) {
    NavigationHistory history;
    history.visit({root, a}); // before a reset: nothing moves
    history.reset(root, "Data");
    EXPECT_EQ(history.navigationSteps(), 0u);

    std::vector<uint64_t> seen;
    QObject::connect(&history, &NavigationHistory::visitsChanged,
                     [&] { seen.push_back(history.navigationSteps()); });
    QObject::connect(&history, &NavigationHistory::currentIndexChanged,
                     [&] { seen.push_back(history.navigationSteps()); });
    history.visit({root, a});
    history.goBack();
    history.goBack(); // at the first visit: not a step
    history.goForward();
    history.goForward(); // at the last visit: not a step
    EXPECT_EQ(history.navigationSteps(), 3u);
    EXPECT_EQ(seen, (std::vector<uint64_t>{1, 1, 2, 3}));

    history.remap(folder("/v", {a}));
    history.reset(root, "Data");
    history.clear();
    EXPECT_EQ(history.navigationSteps(), 3u);
}

TEST(NavigationHistory, NotifiesVisitsAlwaysOtherFieldsOnChangeAndAfterTheWholeOperation) {
    NavigationHistory history;
    QSignalSpy visits(&history, &NavigationHistory::visitsChanged);
    QSignalSpy index(&history, &NavigationHistory::currentIndexChanged);
    QSignalSpy name(&history, &NavigationHistory::volumeNameChanged);
    history.setVolumeName(ScannableVolume::startupName()); // the name it starts with
    history.clear();
    history.reset(root, "Data");
    history.reset(root, "Data");
    EXPECT_EQ(visits.count(), 3);
    EXPECT_EQ(index.count(), 1);
    EXPECT_EQ(name.count(), 1);

    history.visit({root, a});
    std::vector<Strings> seen;
    QObject::connect(&history, &NavigationHistory::visitsChanged,
                     [&] { seen.push_back(paths(history.currentPath())); });
    history.clear();
    history.reset(root, "Data");
    EXPECT_EQ(seen, (std::vector<Strings>{{}, {"/v"}}));
}

TEST(NavigationHistory, RemapEndsEachVisitAtItsDeepestSurvivorMatchedByFullPath) {
    NavigationHistory history;
    history.reset(root, "Data");
    history.visit({root, a, b, c});
    history.visit({root, d});
    history.goBack();

    // b is gone and c hangs under a: a node past the gap is not looked for deeper down. The new
    // root stands for the old one whatever its path.
    const FileNode newA = folder("/v/a", {c});
    const FileNode newRoot = folder("/w", {newA, d});
    history.remap(newRoot);
    ASSERT_EQ(history.visits().size(), 3u);
    EXPECT_EQ(history.currentIndex(), 1);
    EXPECT_EQ(paths(history.visits()[0]), Strings{"/w"});
    EXPECT_EQ(paths(history.visits()[1]), (Strings{"/w", "/v/a"}));
    EXPECT_TRUE(history.visits()[1][1].sharesNodeWith(newA));
    EXPECT_EQ(paths(history.visits()[2]), (Strings{"/w", "/v/d"}));

    EXPECT_EQ(paths(NavigationHistory::rebuildPath({root, folder("/w/a", {})}, folder("/w", {newA}))),
              Strings{"/w"});
}

} // namespace
} // namespace quillmere
