#include "app/RestrictedFlags.hpp"

#include "scan/FileNode.hpp"
#include "support/Gate.hpp"
#include "views/widgets/FileListView.hpp"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <atomic>
#include <gtest/gtest.h>
#include <string>

namespace quillmere {
namespace {

using testing::eventually;
using testing::Gate;

// Turns the event loop until `condition` holds: the flags found reach the window through it.
bool eventuallyWithEvents(const std::function<bool()>& condition) {
    return eventually([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

// The window asks while the file system holding the items has stopped answering: every answer
// comes at once, what it then reads waits in a line of bounded length, and once the file system
// answers again the flags are learned and a restricted one is announced.
TEST(RestrictedFlags, AStoppedFileSystemNeverHoldsTheAskerAndItsAnswersArriveOnceItResumes) {
    Gate stopped;
    const Gate::OpensAtExit resumes{stopped};
    std::atomic<int> reads{0};
    RestrictedFlags flags([&](const std::string& path) {
        stopped.pass();
        ++reads;
        return path.ends_with("locked");
    });
    QSignalSpy found(&flags, &RestrictedFlags::restrictedFound);
    const ProtectedLocations protection(ProtectionRoots{.home = "/home/someone"}, flags.reader());

    EXPECT_FALSE(protection.isProtectedPath("/volume/locked"));
    ASSERT_TRUE(eventually([&] { return stopped.waiting() == 1; }));
    // Rows scrolled past meanwhile, then one more restricted item: each asks, none waits.
    for (int i = 0; i < 20'000; ++i)
        EXPECT_FALSE(flags.flagFor("/volume/row-" + std::to_string(i)));
    EXPECT_FALSE(flags.flagFor("/volume/locked"));
    EXPECT_FALSE(flags.flagFor("/volume/last-locked"));
    EXPECT_EQ(stopped.waiting(), 1);

    stopped.open();
    ASSERT_TRUE(eventuallyWithEvents([&] { return found.count() == 2; }));
    EXPECT_TRUE(protection.isProtectedPath("/volume/locked"));
    EXPECT_TRUE(flags.flagFor("/volume/last-locked"));
    EXPECT_FALSE(flags.flagFor("/volume/row-19999"));
    // The last asked is read last: by then the line had held the latest 4,096 only.
    EXPECT_EQ(reads.load(), 1 + 4096);
}

// A flag changed on disk is read anew once the answers are forgotten, as a new scan does.
TEST(RestrictedFlags, ForgottenAnswersAreReadAgain) {
    std::atomic<bool> set{true};
    std::atomic<int> reads{0};
    RestrictedFlags flags([&](const std::string&) {
        ++reads;
        return set.load();
    });
    QSignalSpy found(&flags, &RestrictedFlags::restrictedFound);
    (void)flags.flagFor("/volume/item");
    ASSERT_TRUE(eventuallyWithEvents([&] { return found.count() == 1; }));
    EXPECT_TRUE(flags.flagFor("/volume/item"));

    // Cleared on disk: the answer known stands until it is forgotten.
    set = false;
    EXPECT_TRUE(flags.flagFor("/volume/item"));
    EXPECT_EQ(reads.load(), 1);
    flags.forgetAll();
    EXPECT_FALSE(flags.flagFor("/volume/item"));
    ASSERT_TRUE(eventually([&] { return reads.load() == 2; }));
    ASSERT_TRUE(eventually([&] { return !flags.flagFor("/volume/item") && reads.load() == 2; }));
    EXPECT_EQ(found.count(), 1);
}

// A list shown before an item's flag was learned shows its lock once told to ask again.
TEST(RestrictedFlags, AListAsksAgainWhenARestrictedItemIsFound) {
    RestrictedFlags flags([](const std::string& path) { return path == "/volume/locked"; });
    QSignalSpy found(&flags, &RestrictedFlags::restrictedFound);
    const ProtectedLocations protection(ProtectionRoots{.home = "/home/someone"}, flags.reader());
    const FolderPath volume = FolderPath::root("/volume");
    const FileNode folder = FileNode::folder(
        volume, "volume", std::nullopt,
        {FileNode::under(volume, "locked", NodeFields{.allocatedSize = 8192, .fileCount = 1}),
         FileNode::under(volume, "open", NodeFields{.allocatedSize = 4096, .fileCount = 1})});
    FileListView list(folder,
                      {{}, {}, [&](const FileNode& node) { return protection.isProtectedSystemItem(node); }});
    list.resize(600, 400);
    QImage image(list.size(), QImage::Format_ARGB32_Premultiplied);
    const auto paint = [&] {
        QPainter painter(&image);
        list.render(&painter);
    };
    paint();
    ASSERT_TRUE(eventuallyWithEvents([&] { return found.count() == 1; }));
    EXPECT_EQ(list.rowBadge(0), views::FileListBadge::none);
    list.refreshProtection();
    paint();
    EXPECT_EQ(list.rowBadge(0), views::FileListBadge::lock);
}

} // namespace
} // namespace quillmere
