#include "systemdata/ProtectedLocations.hpp"

#include "scan/ScanTestSupport.hpp"
#include "scan/TreeBuilders.hpp"

#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace quillmere {
namespace {

using testing::ScratchFolder;

// A policy whose restricted flag is read from a fixed set of paths, so tests see what it is asked.
struct FlagDouble {
    std::set<std::string> restricted;
    std::shared_ptr<std::vector<std::string>> asked = std::make_shared<std::vector<std::string>>();

    RestrictedFlagReader reader() const {
        return [restricted = restricted, asked = asked](const std::string& path) {
            asked->push_back(path);
            return restricted.contains(path);
        };
    }
};

ProtectedLocations policy(const FlagDouble& flags, std::optional<std::string> systemRoot = std::nullopt) {
    return ProtectedLocations(ProtectionRoots{.home = "/Users/ann",
                                              .systemRoot = std::move(systemRoot),
                                              .mountPoints = {"/", "/home", "/media/ann/USB Stick"},
                                              .userFolders = {"/Users/ann/Dokumente"}},
                              flags.reader());
}

struct Case {
    const char* path;
    bool isProtected;
};

// Every path is tried as it stands and again below a fixture system root; the home folder
// and the mount points are absolute and stay where they are.
const Case kSystemCases[] = {
    {"/System", true},
    {"/System/Library/CoreServices", true},
    {"/System/Volumes", true},
    {"/System/Volumes/Data", true},
    {"/System/Volumes/Data/Users", false},
    {"/system/Library", false}, // case-sensitive
    {"/bin/ls", true},
    {"/sbin", true},
    {"/usr", true},
    {"/usr/lib/libz.so", true},
    {"/usr/bin", true},
    {"/usr/local", false},
    {"/usr/local/bin/tool", false},
    {"/usr/localized", true},
    {"/Library/Apple/System", true},
    {"/Library/Application Support/Thing", false},
    {"/Library", false},
    {"/private/var/db/receipts", true},
    {"/private/var/folders/xy", true},
    {"/private/var/tmp", false},
    {"/Applications", true},
    {"/Applications/Editor.app", false},
    {"/Applications/./", true},
    {"/opt/../Applications", true},
    // Linux's own folders.
    {"/etc", true},
    {"/etc/fstab", true},
    {"/boot/vmlinuz", true},
    {"/dev/shm/x", true},
    {"/proc/1", true},
    {"/sys/kernel", true},
    {"/run/user/1000/x", true},
    {"/lib/x86_64-linux-gnu", true},
    {"/lib32/a", true},
    {"/lib64/ld.so", true},
    {"/libx32/a", true},
    {"/snap/core/1", true},
    {"/var/lib/dpkg", true},
    {"/var/library", false},
    {"/var/cache/apt", false},
    {"/etcetera", false},
    {"/opt/app", false},
};

TEST(ProtectedLocations, SystemFoldersAtTheRootAndBelowAFixtureRoot) {
    const FlagDouble flags;
    const ProtectedLocations atRoot = policy(flags);
    const ProtectedLocations withFixture = policy(flags, "/srv/fixture/disk");
    for (const Case& c : kSystemCases) {
        EXPECT_EQ(atRoot.isProtectedPath(c.path), c.isProtected) << c.path;
        EXPECT_EQ(withFixture.isProtectedPath(c.path), c.isProtected) << c.path;
        const std::string below = std::string("/srv/fixture/disk") + c.path;
        EXPECT_EQ(withFixture.isProtectedPath(below), c.isProtected) << below;
        // Without the fixture root, a fixture's folders are ordinary folders.
        EXPECT_FALSE(atRoot.isProtectedPath(below)) << below;
    }
    // The prefix rules alone, without the exact list behind them.
    EXPECT_TRUE(atRoot.isSystemProtected({"System", "Volumes", "Data"}));
    EXPECT_FALSE(atRoot.isSystemProtected({"System", "Volumes", "Data", "Users"}));
    EXPECT_FALSE(atRoot.isSystemProtected({}));
    EXPECT_FALSE(atRoot.isSystemProtected({"Applications"}));
    // The fixture root stands for "/" and is refused itself, not its contents.
    EXPECT_TRUE(withFixture.isProtectedPath("/srv/fixture/disk"));
    EXPECT_FALSE(withFixture.isProtectedPath("/srv/fixture/disk/Users"));
    EXPECT_FALSE(withFixture.isProtectedPath("/srv/fixture"));
}

TEST(ProtectedLocations, ExactLocationsAreRefusedThemselvesNotTheirContents) {
    const FlagDouble flags;
    const ProtectedLocations p = policy(flags);
    const Case cases[] = {
        {"/", true},
        {"/Users/ann", true},
        {"/Users/ann/", true},
        {"/Users/ann/Documents", true},
        {"/Users/ann/Desktop", true},
        {"/Users/ann/Dokumente", true},
        {"/Users/ann/Music", false},
        {"/Users/ann/Documents/report.pdf", false},
        {"/Users/ann/Dokumente/brief.odt", false},
        {"/Users/ann/documents", false},
        {"/Users", false},
        {"/home", true},
        {"/home/ann", false},
        {"/media/ann/USB Stick", true},
        {"/media/ann/USB Stick/photo.jpg", false},
        {"/media/ann", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.isProtectedPath(c.path), c.isProtected) << c.path;

    const std::vector<std::vector<std::string>> list = p.protectedLocations();
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(list[0], (std::vector<std::string>{"Users", "ann"}));
    EXPECT_EQ(list[1], (std::vector<std::string>{"Users", "ann", "Documents"}));
    EXPECT_EQ(list[2], (std::vector<std::string>{"Users", "ann", "Desktop"}));
    EXPECT_EQ(list[3], (std::vector<std::string>{"Applications"}));
    EXPECT_EQ(list[4], (std::vector<std::string>{"System", "Volumes", "Data"}));
}

TEST(ProtectedLocations, RestrictedFlagIsReadOnlyWhenNoRuleHoldsAndOnThePathAsGiven) {
    FlagDouble flags;
    flags.restricted = {"/opt/./sealed", "/Users/ann/link"};
    const ProtectedLocations p = policy(flags);
    EXPECT_TRUE(p.isProtectedPath("/opt/./sealed"));
    EXPECT_FALSE(p.isProtectedPath("/opt/sealed")) << "the flag is read at the path as passed in";
    EXPECT_TRUE(p.isProtectedPath("/Users/ann/link"));
    flags.asked->clear();
    EXPECT_TRUE(p.isProtectedPath("/usr/bin/env"));
    EXPECT_TRUE(p.isProtectedPath("/Users/ann"));
    EXPECT_TRUE(flags.asked->empty()) << "a rule that holds decides without reading the flag";
}

TEST(ProtectedLocations, AggregatesAreNeverProtectedItemsButTheirPathsAre) {
    const FlagDouble flags;
    const ProtectedLocations p = policy(flags);
    const FileNode aggregate("12 small items", "/usr/lib", false, false, 4096, false, false, 0, true, 0, 12,
                             0, std::nullopt, {});
    EXPECT_FALSE(p.isProtectedSystemItem(aggregate));
    EXPECT_TRUE(p.isProtectedPath(aggregate.path()));
    EXPECT_TRUE(p.isProtectedSystemItem(testing::file("/usr/lib/libc.so", 10)));
    EXPECT_FALSE(p.isProtectedSystemItem(testing::file("/Users/ann/a.txt", 10)));
}

TEST(ProtectedLocations, RemovalTestFollowsASymlinkedParentButNeverAFinalLink) {
    ScratchFolder scratch;
    ASSERT_EQ(::symlink("/usr", (scratch / "into-usr").c_str()), 0);
    ASSERT_EQ(::symlink("/etc/hostname", (scratch / "to-hostname").c_str()), 0);
    ASSERT_EQ(::symlink("/usr", (scratch / "to-usr").c_str()), 0);
    const FlagDouble flags;
    const ProtectedLocations p = policy(flags);

    EXPECT_FALSE(p.isProtectedPath(scratch / "into-usr/bin"));
    EXPECT_TRUE(p.isProtectedForRemoval(scratch / "into-usr/bin"));
    EXPECT_TRUE(p.isProtectedForRemoval(scratch / "into-usr/no-such-item"));
    // A final link is removed as a link: its target does not matter.
    EXPECT_FALSE(p.isProtectedForRemoval(scratch / "to-hostname"));
    EXPECT_FALSE(p.isProtectedForRemoval(scratch / "to-usr"));
    EXPECT_EQ(canonicalItemPath(scratch / "into-usr/bin"), "/usr/bin");
    EXPECT_EQ(canonicalItemPath(scratch / "to-usr"), FileNode::canonicalPath(scratch.path()) + "/to-usr");
    EXPECT_EQ(canonicalItemPath("/"), "/");
}

TEST(ProtectedLocations, RealImmutableFileIsProtectedAndALinkToItIsNot) {
    ScratchFolder scratch;
    const std::string sealed = scratch / "sealed";
    testing::writeFile(sealed, 10);
    ASSERT_EQ(::symlink(sealed.c_str(), (scratch / "link").c_str()), 0);
    if (std::system(("chattr +i '" + sealed + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "this file system or user cannot set the immutable attribute";
    const ProtectedLocations p(ProtectionRoots{.home = "/nonexistent-home"});
    const bool sealedProtected = p.isProtectedPath(sealed);
    const bool linkProtected = p.isProtectedPath(scratch / "link");
    const bool missingProtected = p.isProtectedPath(scratch / "missing");
    std::system(("chattr -i '" + sealed + "'").c_str());
    EXPECT_TRUE(sealedProtected);
    EXPECT_FALSE(linkProtected);
    EXPECT_FALSE(missingProtected);
    EXPECT_FALSE(p.isProtectedPath(sealed)) << "the attribute is read afresh on every test";
}

} // namespace
} // namespace quillmere
