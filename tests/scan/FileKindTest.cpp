#include "scan/FileKind.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

FileNode node(std::string_view name, bool isDirectory, int64_t size, std::vector<FileNode> children = {},
              bool isAggregate = false) {
    return FileNode(name, "/t/" + std::string(name), isDirectory, false, size, false, false, 0, isAggregate,
                    0, 0, 0, std::nullopt, std::move(children));
}
FileNode fileNamed(std::string_view name) {
    return node(name, false, 100);
}
FileNode folderWithContents(std::string_view name) {
    return node(name, true, 10, {fileNamed("x.txt")});
}

TEST(FileKind, RawValuesRoundTripAndTextsMatchTheirKinds) {
    const auto kinds = allFileKinds();
    for (size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(static_cast<size_t>(kinds[i]), i);
        EXPECT_EQ(fileKindFromRawValue(rawValue(kinds[i])), kinds[i]);
    }
    EXPECT_EQ(rawValue(FileKind::diskImages), "diskImages");
    EXPECT_EQ(title(FileKind::buildFolders), "Build & dependency folders");
    EXPECT_EQ(title(FileKind::smallFiles), "Small files");
    EXPECT_EQ(explanation(FileKind::virtualMachines),
              "Virtual machine disks \u2014 a whole computer's worth of files, counted as one item.");
    EXPECT_FALSE(fileKindFromRawValue("Videos"));
}

TEST(FileKind, FilesGoByTheirLastExtensionLowerCased) {
    EXPECT_EQ(classify(fileNamed("Movie.MOV")), FileKind::videos);
    EXPECT_EQ(classify(fileNamed("archive.tar.gz")), FileKind::archives);
    EXPECT_EQ(classify(fileNamed("disk.sparsebundle")), FileKind::diskImages);
    EXPECT_EQ(classify(fileNamed("README")), FileKind::other);
    EXPECT_EQ(classify(fileNamed("notes.")), FileKind::other);
    EXPECT_EQ(classify(fileNamed("Foo.app")), FileKind::other); // a package extension on a file
    EXPECT_EQ(classify(fileNamed("node_modules")), FileKind::other);
    // Lower-casing is Unicode's: the Kelvin sign becomes "k".
    EXPECT_EQ(classify(fileNamed("Talk.\u212AEY")), FileKind::documents);
    EXPECT_EQ(classify(node("12 more items.mp4", false, 500, {}, true)), FileKind::smallFiles);
    // A Downloads folder of Linux packages holds installers, whatever the case of the extension.
    for (const char* package : {"tool_1.2_amd64.deb", "tool-1.2.x86_64.rpm", "Krita-5.2.AppImage",
                                "core_16.snap", "org.gimp.GIMP.flatpak", "org.gimp.GIMP.flatpakref"})
        EXPECT_EQ(classify(fileNamed(package)), FileKind::installers) << package;
    EXPECT_EQ(classify(folderWithContents("core.snap")), std::nullopt); // file extensions only
}

TEST(FileKind, FoldersGoByBuildNameThenPackageExtensionThenMissingContents) {
    EXPECT_EQ(classify(folderWithContents("Photos Library.photoslibrary")), FileKind::mediaLibraries);
    EXPECT_EQ(classify(folderWithContents("Foo.APP")), FileKind::applications);
    EXPECT_EQ(classify(folderWithContents("Build.xcarchive")), FileKind::buildFolders);
    EXPECT_EQ(classify(folderWithContents("disk.sparsebundle")), FileKind::diskImages);
    EXPECT_EQ(classify(folderWithContents("node_modules")), FileKind::buildFolders);
    EXPECT_EQ(classify(node("venv.app", true, 4096)), FileKind::applications);
    EXPECT_EQ(classify(node(".venv", true, 4096)), FileKind::buildFolders);
    EXPECT_EQ(classify(node("node_modules", true, 0, {}, true)), FileKind::smallFiles);
    // Names are whole and case-sensitive; file extensions mean nothing on a folder.
    EXPECT_EQ(classify(folderWithContents("Node_Modules")), std::nullopt);
    EXPECT_EQ(classify(folderWithContents("x.zip")), std::nullopt);
    EXPECT_EQ(classify(node("x.zip", true, 4096)), FileKind::unexplored);
    EXPECT_EQ(classify(node("Empty", true, 0)), std::nullopt);
}

} // namespace
} // namespace quillmere
