#include "platform/Trash.hpp"

#include "platform/TrashInfo.hpp"
#include "platform/TrashTestSupport.hpp"
#include "scan/ScanTestSupport.hpp"
#include "support/ScratchMount.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

using testing::exists;
using testing::fileText;
using testing::modeOf;
using testing::readlinkOf;
using testing::ScratchFolder;
using testing::trashSettings;

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

// Runs with TZ=UTC so dates in records are predictable, restoring the zone afterwards.
class UtcZone {
public:
    UtcZone() {
        if (const char* zone = std::getenv("TZ")) saved_ = zone;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~UtcZone() {
        if (saved_)
            ::setenv("TZ", saved_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST(TrashInfo, EncodesNamesAndShortensThemToFit) {
    EXPECT_EQ(percentEncode("/a b/100%/new\nline/bad\xff/caf\xc3\xa9/x-_.!~*'()/;:@&=+$,?#"),
              "/a%20b/100%25/new%0Aline/bad%FF/caf%C3%A9/x-_.!~*'()/%3B%3A%40%26%3D%2B%24%2C%3F%23");
    for (const std::string& raw : {std::string("/a b/100%/new\nline"), std::string("/bad\xff\x01")})
        EXPECT_EQ(percentDecode(percentEncode(raw)), raw);
    EXPECT_EQ(percentDecode("%4"), std::nullopt);
    EXPECT_EQ(percentDecode("%zz"), std::nullopt);

    EXPECT_EQ(trashEntryName("report.pdf", 1), "report.pdf");
    EXPECT_EQ(trashEntryName("report.pdf", 12), "report.pdf.12");
    const std::string longName(255, 'n');
    EXPECT_EQ(trashEntryName(longName, 1).size(), 245u);
    EXPECT_EQ(trashEntryName(longName, 3), std::string(243, 'n') + ".3");
    // "é" is two bytes: a cut through it backs up to before it.
    const std::string accented = std::string(244, 'a') + "\xc3\xa9" + "zz";
    EXPECT_EQ(trashEntryName(accented, 1), std::string(244, 'a'));

    UtcZone utc;
    EXPECT_EQ(trashInfoText("/home/ann/a b.txt", 1700000000),
              "[Trash Info]\nPath=/home/ann/a%20b.txt\nDeletionDate=2023-11-14T22:13:20\n");
    EXPECT_EQ(directorySizesLine(8192, 1700000000, "my dir"), "8192 1700000000 my%20dir\n");
}

TEST(Trash, HomeTrashKeepsEveryNameAndRecordsItExactly) {
    UtcZone utc;
    ScratchFolder scratch;
    const std::string dataHome = scratch / "data/share";
    const Trash trash(trashSettings(dataHome, testing::liveMounts()));
    const std::string names[] = {"a b", "100%", "new\nline", "bad\xff name"};
    for (const std::string& name : names) {
        const std::string item = scratch / ("in/" + name);
        testing::writeFile(item, 100);
        const ino_t inode = testing::lstatOf(item).st_ino;
        const auto moved = trash.moveToTrash(scratch / "in", name, std::nullopt);
        ASSERT_TRUE(moved) << moved.error().description();
        EXPECT_EQ(moved->entryName, name);
        EXPECT_EQ(moved->trashFolder, dataHome + "/Trash");
        EXPECT_EQ(fileText(dataHome + "/Trash/info/" + name + ".trashinfo"),
                  "[Trash Info]\nPath=" + percentEncode(item) + "\nDeletionDate=2023-11-14T22:13:20\n");
        EXPECT_FALSE(exists(item));
        EXPECT_EQ(testing::lstatOf(dataHome + "/Trash/files/" + name).st_ino, inode);
    }
    for (const char* folder : {"/Trash", "/Trash/files", "/Trash/info"})
        EXPECT_EQ(modeOf(dataHome + folder) & 07777, 0700u) << folder;
    EXPECT_EQ(fileText(dataHome + "/Trash/info/a b.trashinfo"),
              "[Trash Info]\nPath=" + percentEncode(scratch.path()) +
                  "/in/a%20b\nDeletionDate=2023-11-14T22:13:20\n");

    // Moving each item back by hand to its decoded Path= restores it.
    for (const std::string& name : names) {
        const std::string record = fileText(dataHome + "/Trash/info/" + name + ".trashinfo");
        const size_t start = record.find("Path=") + 5;
        const std::optional<std::string> original =
            percentDecode(record.substr(start, record.find('\n', start) - start));
        ASSERT_TRUE(original);
        EXPECT_EQ(*original, scratch / ("in/" + name));
        ASSERT_EQ(::rename((dataHome + "/Trash/files/" + name).c_str(), original->c_str()), 0);
        EXPECT_EQ(fileText(*original), std::string(100, 'q'));
    }
}

TEST(Trash, SameNameTwiceAndAFolderWithItsSize) {
    ScratchFolder scratch;
    const std::string dataHome = scratch / "data";
    const Trash trash(trashSettings(dataHome, testing::liveMounts()));
    testing::writeFile(scratch / "one/notes", 10);
    testing::writeFile(scratch / "two/notes", 20);
    testing::writeFile(scratch / "tree/folder/a", 5000);
    testing::writeFile(scratch / "tree/folder/deep/b", 70000);
    ASSERT_EQ(::link((scratch / "tree/folder/a").c_str(), (scratch / "tree/folder/a-again").c_str()), 0);
    ASSERT_EQ(::symlink("/usr", (scratch / "tree/folder/link").c_str()), 0);
    const std::string du = commandOutput("du -B1 -s '" + (scratch / "tree/folder") + "'");

    const auto first = trash.moveToTrash(scratch / "one", "notes", std::nullopt);
    const auto second = trash.moveToTrash(scratch / "two", "notes", std::nullopt);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->entryName, "notes");
    EXPECT_EQ(second->entryName, "notes.2");
    EXPECT_EQ(fileText(dataHome + "/Trash/files/notes"), std::string(10, 'q'));
    EXPECT_EQ(fileText(dataHome + "/Trash/files/notes.2"), std::string(20, 'q'));
    EXPECT_NE(fileText(dataHome + "/Trash/info/notes.2.trashinfo").find("/two/notes\n"), std::string::npos);
    EXPECT_FALSE(exists(dataHome + "/Trash/directorysizes")) << "files add no line";

    const auto folder = trash.moveToTrash(scratch / "tree", "folder", std::nullopt);
    ASSERT_TRUE(folder);
    struct stat record = testing::lstatOf(dataHome + "/Trash/info/folder.trashinfo");
    EXPECT_EQ(fileText(dataHome + "/Trash/directorysizes"),
              du.substr(0, du.find('\t')) + " " + std::to_string(record.st_mtime) + " folder\n");
    EXPECT_EQ(readlinkOf(dataHome + "/Trash/files/folder/link"), "/usr");
}

// Something can lie in the Trash's files/ without a record of its own: put there by hand, or
// left by a tool that failed halfway. Its name is taken like any recorded one, never overwritten.
TEST(Trash, AnItemInTheTrashWithoutARecordIsNeverReplaced) {
    ScratchFolder scratch;
    const std::string dataHome = scratch / "data";
    const std::string files = dataHome + "/Trash/files/";
    const Trash trash(trashSettings(dataHome, testing::liveMounts()));
    testing::writeFile(files + "notes", 10);
    testing::makeFolder(files + "box"); // empty: a rename could put a folder in its place
    testing::writeFile(scratch / "in/notes", 20);
    testing::writeFile(scratch / "in/box/inside", 30);

    for (const std::string name : {"notes", "box"}) {
        const auto moved = trash.moveToTrash(scratch / "in", name, std::nullopt);
        ASSERT_TRUE(moved) << moved.error().description();
        EXPECT_EQ(moved->entryName, name + ".2");
        EXPECT_FALSE(exists(dataHome + "/Trash/info/" + name + ".trashinfo")) << "no record for the stranger";
        EXPECT_TRUE(exists(dataHome + "/Trash/info/" + name + ".2.trashinfo"));
    }
    EXPECT_EQ(fileText(files + "notes"), std::string(10, 'q'));
    EXPECT_EQ(fileText(files + "notes.2"), std::string(20, 'q'));
    EXPECT_TRUE(std::filesystem::is_empty(files + "box"));
    EXPECT_EQ(fileText(files + "box.2/inside"), std::string(30, 'q'));
}

// A folder on another file system than the scratch folders: /dev/shm is a tmpfs of its own.
class SharedMemoryFolder {
public:
    SharedMemoryFolder() {
        std::string pattern = "/dev/shm/quillmere-trash-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~SharedMemoryFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// A mount table in which `topdir` is a mount point of the scratch folder's own disk.
std::vector<MountEntry> tableWithTopdir(const std::string& topdir) {
    std::vector<MountEntry> mounts = testing::liveMounts();
    mounts.push_back({.root = "/", .mountPoint = topdir, .fileSystemType = "ext4", .source = "fixture"});
    return mounts;
}

// Items of the scratch disk whose home Trash is on another disk, so they use their topdir.
struct TopdirFixture {
    ScratchFolder scratch;
    SharedMemoryFolder otherDisk;
    std::string topdir = scratch / "top";
    Trash trash{trashSettings(otherDisk / "data", tableWithTopdir(topdir))};

    TopdirFixture() { testing::writeFile(topdir + "/dir/item name", 10); }
    std::expected<TrashedItem, TrashError> moveItem() const {
        return trash.moveToTrash(topdir + "/dir", "item name", std::nullopt);
    }
};

TEST(Trash, TopdirTrashIsTheStickySharedFolderOrTheUsersOwn) {
    const std::string uid = std::to_string(::geteuid());
    {
        TopdirFixture f;
        ASSERT_EQ(::mkdir((f.topdir + "/.Trash").c_str(), 01777), 0);
        ::chmod((f.topdir + "/.Trash").c_str(), 01777);
        const auto moved = f.moveItem();
        ASSERT_TRUE(moved) << moved.error().description();
        EXPECT_EQ(moved->trashFolder, f.topdir + "/.Trash/" + uid);
        EXPECT_EQ(moved->recordedPath, "dir/item name");
        EXPECT_NE(fileText(f.topdir + "/.Trash/" + uid + "/info/item name.trashinfo")
                      .find("\nPath=dir/item%20name\n"),
                  std::string::npos);
        EXPECT_TRUE(exists(f.topdir + "/.Trash/" + uid + "/files/item name"));
        EXPECT_FALSE(exists(f.otherDisk / "data/Trash"));
    }
    {
        TopdirFixture f;
        ASSERT_EQ(::mkdir((f.topdir + "/.Trash").c_str(), 0777), 0); // not sticky
        const auto moved = f.moveItem();
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved->trashFolder, f.topdir + "/.Trash-" + uid);
        EXPECT_EQ(modeOf(f.topdir + "/.Trash-" + uid) & 07777, 0700u);
        EXPECT_TRUE(exists(f.topdir + "/.Trash-" + uid + "/files/item name"));
        EXPECT_FALSE(exists(f.topdir + "/.Trash/" + uid));
    }
    {
        TopdirFixture f;
        ASSERT_EQ(::mkdir((f.scratch / "sticky").c_str(), 01777), 0);
        ::chmod((f.scratch / "sticky").c_str(), 01777);
        ASSERT_EQ(::symlink((f.scratch / "sticky").c_str(), (f.topdir + "/.Trash").c_str()), 0);
        const auto moved = f.moveItem();
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved->trashFolder, f.topdir + "/.Trash-" + uid) << "a symlinked .Trash is not used";
        EXPECT_FALSE(exists(f.scratch / ("sticky/" + uid)));
    }
}

TEST(Trash, SymlinkedOrForeignUserTrashFailsTheItemWritingNothing) {
    const std::string uid = std::to_string(::geteuid());
    {
        TopdirFixture f;
        testing::makeFolder(f.scratch / "elsewhere");
        ASSERT_EQ(::symlink((f.scratch / "elsewhere").c_str(), (f.topdir + "/.Trash-" + uid).c_str()), 0);
        const auto moved = f.moveItem();
        ASSERT_FALSE(moved);
        EXPECT_EQ(moved.error(), TrashError{TrashError::Kind::noUsableTrash});
        EXPECT_EQ(moved.error().description(),
                  "its disk has no Trash Quillmere can use — it was left where it is");
        EXPECT_TRUE(std::filesystem::is_empty(f.scratch / "elsewhere"));
        EXPECT_TRUE(exists(f.topdir + "/dir/item name"));
    }
    {
        TopdirFixture f;
        const std::string own = f.topdir + "/.Trash-" + uid;
        ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
        ASSERT_EQ(::chown(own.c_str(), ::geteuid() + 1, ::getegid()), 0);
        const auto moved = f.moveItem();
        ASSERT_FALSE(moved);
        EXPECT_EQ(moved.error().kind, TrashError::Kind::noUsableTrash);
        EXPECT_TRUE(std::filesystem::is_empty(own));
        EXPECT_TRUE(exists(f.topdir + "/dir/item name"));
    }
    {
        // The home Trash too: a link in its place is never written through.
        ScratchFolder scratch;
        testing::makeFolder(scratch / "data");
        testing::makeFolder(scratch / "elsewhere");
        ASSERT_EQ(::symlink((scratch / "elsewhere").c_str(), (scratch / "data/Trash").c_str()), 0);
        testing::writeFile(scratch / "item", 10);
        const Trash trash(trashSettings(scratch / "data", testing::liveMounts()));
        EXPECT_EQ(trash.moveToTrash(scratch.path(), "item", std::nullopt).error().kind,
                  TrashError::Kind::noUsableTrash);
        EXPECT_TRUE(std::filesystem::is_empty(scratch / "elsewhere"));
        EXPECT_TRUE(exists(scratch / "item"));
    }
    {
        // A foreign files/ inside one's own Trash is just as unusable.
        TopdirFixture f;
        const std::string own = f.topdir + "/.Trash-" + uid;
        testing::makeFolder(own + "/files");
        ASSERT_EQ(::chown((own + "/files").c_str(), ::geteuid() + 1, ::getegid()), 0);
        EXPECT_EQ(f.moveItem().error().kind, TrashError::Kind::noUsableTrash);
        EXPECT_TRUE(std::filesystem::is_empty(own + "/files"));
    }
}

TEST(Trash, ItemOnAnotherFileSystemGoesToThatMountsTrash) {
    SharedMemoryFolder shm;
    ScratchFolder scratch;
    ASSERT_FALSE(shm.path().empty());
    testing::writeFile(shm / "100% sure", 10);
    const std::vector<MountEntry> mounts = testing::liveMounts();
    const std::optional<MountEntry> mount = mountContaining(mounts, shm.path());
    ASSERT_TRUE(mount && mount->mountPoint != "/");
    const std::string mountTrash = mount->mountPoint + "/.Trash-" + std::to_string(::geteuid());
    const bool hadTrash = exists(mountTrash);
    const Trash trash(trashSettings(scratch / "data", mounts));
    const auto moved = trash.moveToTrash(shm.path(), "100% sure", std::nullopt);
    ASSERT_TRUE(moved) << moved.error().description();
    const std::string expectedTrash = mount->mountPoint + "/.Trash-" + std::to_string(::geteuid());
    const std::string record = fileText(expectedTrash + "/info/" + moved->entryName + ".trashinfo");
    const std::string stored = expectedTrash + "/files/" + moved->entryName;
    const bool storedExists = exists(stored);
    ::unlink(stored.c_str());
    ::unlink((expectedTrash + "/info/" + moved->entryName + ".trashinfo").c_str());
    if (!hadTrash)
        for (const char* folder : {"/files", "/info", ""})
            ::rmdir((mountTrash + folder).c_str());
    EXPECT_EQ(moved->trashFolder, expectedTrash);
    EXPECT_TRUE(storedExists);
    EXPECT_NE(record.find("\nPath=" + percentEncode(shm.path().substr(mount->mountPoint.size() + 1)) +
                          "/100%25%20sure\n"),
              std::string::npos)
        << record;
    EXPECT_FALSE(exists(scratch / "data/Trash"));
}

using testing::ScratchMount;

TEST(Trash, ItemUnderABindMountGoesToThatMountsTrash) {
    ScratchFolder scratch;
    testing::makeFolder(scratch / "source");
    testing::makeFolder(scratch / "bound");
    const std::string source = scratch / "source";
    const ScratchMount bind(source.c_str(), scratch / "bound", nullptr, MS_BIND, nullptr);
    if (!bind.mounted()) GTEST_SKIP() << "mounting is not permitted here";
    testing::writeFile(scratch / "bound/item", 10);
    const Trash trash(trashSettings(scratch / "data", testing::liveMounts()));
    const auto moved = trash.moveToTrash(scratch / "bound", "item", std::nullopt);
    ASSERT_TRUE(moved) << moved.error().description();
    EXPECT_EQ(moved->trashFolder, scratch / ("bound/.Trash-" + std::to_string(::geteuid())));
    EXPECT_EQ(moved->recordedPath, "item");
    EXPECT_TRUE(exists(scratch / ("source/.Trash-" + std::to_string(::geteuid()) + "/files/item")));
    EXPECT_FALSE(exists(scratch / "data/Trash/info/item.trashinfo")) << "the failed home record is removed";
}

TEST(Trash, FullOrReadOnlyDiskLeavesTheItemAndNoRecord) {
    ScratchFolder scratch;
    testing::makeFolder(scratch / "disk");
    // A small tmpfs of its own.
    const ScratchMount disk("quillmere-test", scratch / "disk", "tmpfs", 0, "size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "mounting is not permitted here";
    const std::string trashFolder = scratch / ("disk/.Trash-" + std::to_string(::geteuid()));
    testing::makeFolder(trashFolder + "/files");
    testing::makeFolder(trashFolder + "/info");
    testing::writeFile(scratch / "disk/item", 10);
    {
        // Fill the disk to its last page.
        const int fill = ::open((scratch / "disk/fill").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'f');
        while (::write(fill, block.data(), block.size()) > 0) {
        }
        ::close(fill);
    }
    const Trash trash(trashSettings(scratch / "data", testing::liveMounts()));
    const auto full = trash.moveToTrash(scratch / "disk", "item", std::nullopt);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error().description(), "there's no room on its disk for the Trash's record of it");
    EXPECT_TRUE(exists(scratch / "disk/item"));
    EXPECT_TRUE(std::filesystem::is_empty(trashFolder + "/info"));

    ASSERT_EQ(::unlink((scratch / "disk/fill").c_str()), 0);
    ASSERT_TRUE(disk.remountReadOnly());
    const auto readOnly = trash.moveToTrash(scratch / "disk", "item", std::nullopt);
    ASSERT_FALSE(readOnly);
    EXPECT_EQ(readOnly.error().description(), "it's on a read-only disk");
    EXPECT_TRUE(exists(scratch / "disk/item"));
}

TEST(Trash, RefusesItemsThatChangedSinceTheyWereConfirmed) {
    ScratchFolder scratch;
    const Trash trash(trashSettings(scratch / "data", testing::liveMounts()));
    testing::writeFile(scratch / "parent/item", 10);
    testing::writeFile(scratch / "decoy/item", 10);
    const std::optional<ItemPin> pin = pinItem(scratch / "parent/item").value();

    // The parent is swapped for a symlink to a folder holding an item of that name.
    ASSERT_EQ(::rename((scratch / "parent").c_str(), (scratch / "moved-away").c_str()), 0);
    ASSERT_EQ(::symlink((scratch / "decoy").c_str(), (scratch / "parent").c_str()), 0);
    EXPECT_EQ(trash.moveToTrash(scratch / "parent", "item", pin).error().kind, TrashError::Kind::changed);
    EXPECT_EQ(trash.moveToTrash(scratch / "parent", "item", std::nullopt).error().kind,
              TrashError::Kind::changed)
        << "a symlink on the way is refused even without a pin";
    EXPECT_TRUE(exists(scratch / "decoy/item"));
    EXPECT_FALSE(exists(scratch / "data/Trash"));

    // The parent replaced by another real folder holding the very same file (a hard link): the
    // item alone would pass, the folder's pin does not.
    testing::makeFolder(scratch / "twin");
    ASSERT_EQ(::link((scratch / "moved-away/item").c_str(), (scratch / "twin/item").c_str()), 0);
    ASSERT_EQ(::unlink((scratch / "parent").c_str()), 0);
    ASSERT_EQ(::rename((scratch / "twin").c_str(), (scratch / "parent").c_str()), 0);
    EXPECT_EQ(trash.moveToTrash(scratch / "parent", "item", pin).error().kind, TrashError::Kind::changed);
    EXPECT_TRUE(exists(scratch / "parent/item"));

    // The item itself replaced by another of the same name.
    testing::writeFile(scratch / "other/item", 10);
    const std::optional<ItemPin> before = pinItem(scratch / "other/item").value();
    testing::writeFile(scratch / "other/keep", 10);
    ASSERT_EQ(::unlink((scratch / "other/item").c_str()), 0);
    ASSERT_EQ(::link((scratch / "other/keep").c_str(), (scratch / "other/item").c_str()), 0);
    const auto replaced = trash.moveToTrash(scratch / "other", "item", before);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().description(), "it changed since you confirmed — it was left where it is");

    const auto gone = trash.moveToTrash(scratch / "other", "missing", std::nullopt);
    EXPECT_EQ(gone.error().description(), "it no longer exists");
    for (const std::string& parent : {std::string("relative/other"), scratch / "other/../other"})
        EXPECT_EQ(trash.moveToTrash(parent, "keep", std::nullopt).error().kind, TrashError::Kind::unclearPath)
            << parent;
    EXPECT_EQ(trash.moveToTrash(scratch / "other", "..", std::nullopt).error().kind,
              TrashError::Kind::unclearPath);
    EXPECT_TRUE(exists(scratch / "other/keep"));

    // A final symlink is moved as the link itself.
    ASSERT_EQ(::symlink((scratch / "decoy/item").c_str(), (scratch / "other/link").c_str()), 0);
    ASSERT_TRUE(trash.moveToTrash(scratch / "other", "link", pinItem(scratch / "other/link").value()));
    EXPECT_EQ(readlinkOf(scratch / "data/Trash/files/link"), scratch / "decoy/item");
    EXPECT_TRUE(exists(scratch / "decoy/item"));
}

TEST(Trash, RefusesTheTrashItselfAndWhatHoldsIt) {
    ScratchFolder scratch;
    const std::string dataHome = scratch / "home/.local/share";
    const Trash trash(trashSettings(dataHome, tableWithTopdir(scratch / "top")));
    testing::writeFile(scratch / "home/x", 1);
    ASSERT_TRUE(trash.moveToTrash(scratch / "home", "x", std::nullopt));
    testing::writeFile(scratch / "top/.Trash-7/files/y", 1);
    testing::writeFile(scratch / "top/.Trash/7/files/y", 1);
    const struct {
        std::string parent, name;
        TrashError::Kind kind;
    } cases[] = {
        {dataHome + "/Trash/files", "x", TrashError::Kind::alreadyInTrash},
        {dataHome + "/Trash", "files", TrashError::Kind::alreadyInTrash},
        {dataHome, "Trash", TrashError::Kind::alreadyInTrash},
        {scratch / "home/.local", "share", TrashError::Kind::holdsTrash},
        {scratch / "home", ".local", TrashError::Kind::holdsTrash},
        {scratch / "top/.Trash-7/files", "y", TrashError::Kind::alreadyInTrash},
        {scratch / "top", ".Trash", TrashError::Kind::alreadyInTrash},
    };
    for (const auto& c : cases) {
        const auto moved = trash.moveToTrash(c.parent, c.name, std::nullopt);
        ASSERT_FALSE(moved) << c.parent << "/" << c.name;
        EXPECT_EQ(moved.error().kind, c.kind) << c.parent << "/" << c.name;
        EXPECT_TRUE(exists(c.parent + "/" + c.name));
    }
    EXPECT_EQ(TrashError{TrashError::Kind::alreadyInTrash}.description(),
              "it's already in the Trash — empty the Trash to free its space");
    EXPECT_EQ(TrashError{TrashError::Kind::holdsTrash}.description(),
              "it holds the Trash — it was left where it is");
}

TEST(Trash, TrashListShowsTheOriginalPaths) {
    if (std::system("command -v trash-list >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "trash-cli is not installed";
    ScratchFolder scratch;
    const std::string dataHome = scratch / "data";
    const Trash trash(trashSettings(dataHome, testing::liveMounts(), std::time(nullptr)));
    for (const char* name : {"plain", "with space", "100%"}) {
        testing::writeFile(scratch / (std::string("in/") + name), 10);
        ASSERT_TRUE(trash.moveToTrash(scratch / "in", name, std::nullopt));
    }
    testing::makeFolder(scratch / "in/folder");
    ASSERT_TRUE(trash.moveToTrash(scratch / "in", "folder", std::nullopt));
    const std::string listing = commandOutput("XDG_DATA_HOME='" + dataHome + "' trash-list 2>&1");
    for (const char* name : {"plain", "with space", "100%", "folder"})
        EXPECT_NE(listing.find(" " + (scratch / (std::string("in/") + name)) + "\n"), std::string::npos)
            << listing;
}

TEST(TrashError, DescribesFailuresAndKnowsPermissionErrors) {
    EXPECT_EQ(TrashError::fromErrno(EACCES).description(),
              "you don't have permission to move it to the Trash");
    EXPECT_EQ(TrashError::fromErrno(EPERM).description(),
              "you don't have permission to move it to the Trash");
    EXPECT_EQ(TrashError::fromErrno(EROFS).description(), "it's on a read-only disk");
    EXPECT_EQ(TrashError::fromErrno(ENOSPC).description(),
              "there's no room on its disk for the Trash's record of it");
    EXPECT_EQ(TrashError::fromErrno(EBUSY).description(), std::string(std::strerror(EBUSY)));
    EXPECT_TRUE(TrashError::fromErrno(EACCES).isPermissionError());
    EXPECT_TRUE(TrashError::fromErrno(EPERM).isPermissionError());
    EXPECT_FALSE(TrashError::fromErrno(ENOENT).isPermissionError());
    EXPECT_FALSE((TrashError{TrashError::Kind::noUsableTrash, EACCES}.isPermissionError()));
}

} // namespace
} // namespace quillmere::platform
