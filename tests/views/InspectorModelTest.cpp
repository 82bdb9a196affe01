#include "views/InspectorModel.hpp"

#include "ViewsTestSupport.hpp"
#include "views/QuickLook.hpp"

#include <gtest/gtest.h>

namespace quillmere::views {
namespace {

using test::file;
using namespace inspector;

FileNode node(const std::string& path, bool isDirectory, int64_t size, int64_t folders, int64_t files,
              int64_t cloudOnlyCount = 0, int64_t shared = 0, std::vector<FileNode> children = {},
              std::optional<Date> date = std::nullopt) {
    return FileNode(std::string(lastPathComponent(path)), path, isDirectory, false, size, false, false,
                    cloudOnlyCount, false, folders, files, shared, date, std::move(children));
}

std::vector<FileNode> filesOfOneByte(int count) {
    std::vector<FileNode> out;
    for (int i = 0; i < count; ++i)
        out.push_back(file("/d/f" + std::to_string(i), 1));
    return out;
}

TEST(InspectorModel, SubtitleCountsFoldersOrSharesTheDisk) {
    EXPECT_EQ(subtitle(node("/d", true, 1, 1, 1), 0), "0 folders \u00b7 1 file");
    EXPECT_EQ(subtitle(node("/d", true, 1, 2, 0), 0), "1 folder \u00b7 0 files");
    EXPECT_EQ(subtitle(node("/f", false, 1000, 0, 1), 8000), "12.5% of disk");
    EXPECT_EQ(subtitle(node("/f", false, 1000, 0, 1), 0), "on disk");
}

TEST(InspectorModel, CalloutsInOrderWithTheirTexts) {
    EXPECT_TRUE(callouts(node("/f", false, 1, 0, 1), false).empty());
    const auto all = callouts(node("/d", true, 1, 1, 3, 2, 1'048'576), true);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].kind, CalloutKind::protectedItem);
    EXPECT_EQ(all[0].boldLead, "Linux lives here.");
    EXPECT_EQ(all[0].text,
              " You can look at every byte of it. Quillmere will not delete any of it, and there's "
              "no setting that changes that.");
    EXPECT_EQ(all[1].kind, CalloutKind::cloud);
    EXPECT_EQ(all[1].text,
              "2 files live only in iCloud. They take no space here, and Quillmere left them there "
              "rather than downloading them to weigh them.");
    EXPECT_EQ(all[2].kind, CalloutKind::clone);
    EXPECT_EQ(all[2].text,
              "1 MB here is the same data as another file on disk, so Quillmere counts it once.");
    const auto one = callouts(node("/d", true, 1, 1, 3, 1), false);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].text, "1 file lives only in iCloud. It takes no space here, and Quillmere left it there "
                           "rather than downloading it to weigh it.");
    // Digits without grouping.
    EXPECT_EQ(callouts(node("/d", true, 1, 1, 3, 12345), false)[0].text.substr(0, 6), "12345 ");
}

TEST(InspectorModel, ProtectedItemsShowKindAndOwnerOthersKindAndModified) {
    Lookups lookups{[](const std::string&) { return std::optional<std::string>("folder"); },
                    [](const std::string&) { return std::optional<std::string>("root"); },
                    [](Date) { return std::string("Jan 1, 2020, 9:00 AM"); }};
    const FileNode movies = node("/home/ann/Movies", true, 10, 1, 0, 0, 0, {}, 1.5e9);
    EXPECT_EQ(factsTitle(true), "About this");
    EXPECT_EQ(factsTitle(false), "Details");
    EXPECT_EQ(facts(movies, true, lookups), (std::vector<Fact>{{"Kind", "folder"}, {"Owner", "root"}}));
    EXPECT_EQ(facts(movies, false, lookups),
              (std::vector<Fact>{{"Kind", "Folder"}, {"Modified", "Jan 1, 2020, 9:00 AM"}}));
    // Lookups that find nothing.
    Lookups empty{[](const std::string&) { return std::optional<std::string>(""); },
                  [](const std::string&) { return std::optional<std::string>(); },
                  {}};
    EXPECT_EQ(facts(node("/x", false, 1, 0, 1), true, empty),
              (std::vector<Fact>{{"Kind", "Document"}, {"Owner", "\u2014"}}));
    EXPECT_EQ(facts(node("/x", false, 1, 0, 1), false, lookups)[1].value, "\u2014");
}

TEST(InspectorModel, ContentsShowTwelveLargestAndCountTheRest) {
    EXPECT_FALSE(contents(node("/f", false, 1, 0, 1)).has_value());
    EXPECT_FALSE(contents(test::folder("/d", {file("/d/a", 0), file("/d/b", 0)})).has_value());

    auto twelve = contents(test::folder("/d", filesOfOneByte(12)));
    ASSERT_TRUE(twelve.has_value());
    EXPECT_EQ(twelve->rows.size(), 12u);
    EXPECT_FALSE(twelve->footer.has_value());
    auto children = filesOfOneByte(13);
    children.push_back(file("/d/zero", 0));
    EXPECT_EQ(contents(test::folder("/d", children))->footer, "1 smaller item not shown");
    EXPECT_EQ(contents(test::folder("/d", filesOfOneByte(14)))->footer, "2 smaller items not shown");

    // Largest first, ties in stored order, the last ones cut.
    std::vector<FileNode> mixed = filesOfOneByte(13);
    mixed.push_back(node("/d/big", true, 50, 1, 0));
    mixed.push_back(test::aggregate("/d/small", 5));
    const auto list = contents(node("/d", true, 100, 2, 14, 0, 0, mixed));
    ASSERT_EQ(list->rows.size(), 12u);
    EXPECT_EQ(list->rows[0].node.path(), "/d/big");
    EXPECT_TRUE(list->rows[0].isOpenable);
    EXPECT_EQ(list->rows[0].symbol, "folder.fill");
    EXPECT_EQ(list->rows[0].helpText, "Open big");
    EXPECT_DOUBLE_EQ(list->rows[0].barFraction, 0.5);
    EXPECT_EQ(list->rows[1].symbol, "ellipsis.circle.fill");
    EXPECT_FALSE(list->rows[1].isOpenable);
    EXPECT_EQ(list->rows[2].node.path(), "/d/f0");
    EXPECT_EQ(list->rows[11].node.path(), "/d/f9");
    EXPECT_EQ(list->rows[2].helpText, "f0 \u00b7 " + list->rows[2].sizeText);
    EXPECT_EQ(list->footer, "3 smaller items not shown");
    // An empty parent leaves every bar empty.
    EXPECT_DOUBLE_EQ(contents(node("/d", true, 0, 1, 1, 0, 0, {file("/d/a", 3)}))->rows[0].barFraction, 0);
}

TEST(InspectorModel, DeleteIsOfferedOnlyForAnUnprotectedSelection) {
    EXPECT_EQ(deleteTitle(node("/home/ann/Movies", true, 1, 1, 0), false), "Delete \u201cMovies\u201d\u2026");
    EXPECT_FALSE(deleteTitle(node("/home/ann/Movies", true, 1, 1, 0), true).has_value());
    EXPECT_FALSE(deleteTitle(std::nullopt, false).has_value());
}

TEST(InspectorModel, DrillExtensionWalksDownToTheTargetOrNowhere) {
    const FileNode deep = test::folder("/r/a/b", {file("/r/a/b/x", 1)});
    const FileNode a = test::folder("/r/a", {deep});
    const FileNode ab = test::folder("/r/ab", {file("/r/ab/y", 1)});
    const FileNode root = test::folder("/r", {ab, a});
    const auto chain = drillExtension(root, deep);
    ASSERT_TRUE(chain.has_value());
    ASSERT_EQ(chain->size(), 2u);
    EXPECT_EQ((*chain)[0].path(), "/r/a"); // "/r/ab" is no folder above "/r/a/b"
    EXPECT_EQ((*chain)[1].path(), "/r/a/b");
    // "/r/a" comes first but is no folder above "/r/ab".
    const FileNode otherOrder = test::folder("/r", {a, ab});
    const auto toAb = drillExtension(otherOrder, ab);
    ASSERT_TRUE(toAb.has_value());
    EXPECT_EQ(toAb->back().path(), "/r/ab");
    EXPECT_FALSE(drillExtension(root, root).has_value());
    EXPECT_FALSE(drillExtension(a, ab).has_value());
    EXPECT_FALSE(drillExtension(root, file("/r/a/gone", 1)).has_value());
}

class RecordingPanel : public PreviewPanel {
public:
    std::vector<std::string> calls;
    const QuickLookCoordinator* source = nullptr;
    void setDataSource(const QuickLookCoordinator* s) override {
        source = s;
        calls.push_back("source");
    }
    void makeKeyAndOrderFront() override { calls.push_back("front"); }
    void reloadData() override { calls.push_back("reload:" + source->previewItem()->title); }
};

TEST(QuickLook, PreviewsReplaceTheOneItemAndCloudOnlyItemsAreExplained) {
    RecordingPanel panel;
    QuickLookCoordinator coordinator([&] { return &panel; });
    EXPECT_EQ(coordinator.numberOfPreviewItems(), 0);
    EXPECT_EQ(quickLookSelection(file("/d/a.txt", 1), coordinator), QuickLookResult::previewed);
    EXPECT_EQ(coordinator.numberOfPreviewItems(), 1);
    EXPECT_EQ(panel.calls, (std::vector<std::string>{"source", "front", "reload:a.txt"}));
    EXPECT_EQ(quickLookSelection(file("/d/b.png", 1), coordinator), QuickLookResult::previewed);
    EXPECT_EQ(coordinator.numberOfPreviewItems(), 1);
    EXPECT_EQ(coordinator.previewItem(7), (PreviewItem{"/d/b.png", "b.png"}));
    EXPECT_EQ(panel.calls.back(), "reload:b.png");

    // Cloud-only: the notice each time, the panel untouched.
    const size_t before = panel.calls.size();
    EXPECT_EQ(quickLookSelection(file("/d/c", 0, false, true), coordinator),
              QuickLookResult::cloudOnlyNotice);
    EXPECT_EQ(quickLookSelection(file("/d/c", 0, false, true), coordinator),
              QuickLookResult::cloudOnlyNotice);
    EXPECT_EQ(panel.calls.size(), before);
    EXPECT_EQ(coordinator.previewItem()->title, "b.png");
    // A folder holding cloud-only files is previewed like any folder.
    const FileNode folderOfCloud = test::folder("/d/cloudy", {file("/d/cloudy/x", 0, false, true)});
    ASSERT_EQ(folderOfCloud.cloudOnlyCount(), 1);
    EXPECT_EQ(quickLookSelection(folderOfCloud, coordinator), QuickLookResult::previewed);
    EXPECT_EQ(quickLookSelection(std::nullopt, coordinator), QuickLookResult::nothing);
}

TEST(QuickLook, WithoutAPanelTheItemIsOnlyStored) {
    QuickLookCoordinator coordinator([] { return static_cast<PreviewPanel*>(nullptr); });
    coordinator.preview("/d/a", "a");
    EXPECT_EQ(coordinator.numberOfPreviewItems(), 1);
    EXPECT_EQ(coordinator.previewItem()->path, "/d/a");
}

} // namespace
} // namespace quillmere::views
