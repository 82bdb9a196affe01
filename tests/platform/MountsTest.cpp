#include "platform/Mounts.hpp"

#include <gtest/gtest.h>

namespace quillmere::platform {
namespace {

TEST(Mounts, ParsesMountInfoWithEscapesAndOptionalFields) {
    const std::vector<MountEntry> entries =
        parseMountInfo("36 35 98:0 /mnt1 /mnt/My\\040Disk\\011x rw,noatime master:1 shared:7 - ext3 "
                       "/dev/root\\134x rw,errors=continue\n"
                       "garbage line\n"
                       "37 35 0:3 / relative rw - proc proc rw\n"
                       "38 35 0:4 / /no/separator rw proc proc rw\n"
                       "39 35 0:5 / /last rw - tmpfs tmpfs rw");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (MountEntry{.major = 98,
                                      .minor = 0,
                                      .root = "/mnt1",
                                      .mountPoint = "/mnt/My Disk\tx",
                                      .fileSystemType = "ext3",
                                      .source = "/dev/root\\x"}));
    EXPECT_EQ(entries[1].mountPoint, "/last");

    EXPECT_EQ(decodeUdevName("My\\x20Disk\\x2fA\\xZZ\\x2"), "My Disk/A\\xZZ\\x2");
}

TEST(Mounts, KeepsOnlyTheLastMountAtEachPoint) {
    const std::vector<MountEntry> visible =
        visibleMounts(parseMountInfo("1 0 0:1 / /a rw - tmpfs first rw\n"
                                     "2 0 0:2 / /b rw - tmpfs b rw\n"
                                     "3 0 0:3 / /a rw - tmpfs second rw\n"));
    ASSERT_EQ(visible.size(), 2u);
    EXPECT_EQ(visible[0].mountPoint, "/b");
    EXPECT_EQ(visible[1].source, "second");
}

TEST(Mounts, FindsTheMountHoldingAPath) {
    const std::vector<MountEntry> mounts = parseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                                          "2 1 8:2 / /home rw - ext4 /dev/sda2 rw\n");
    EXPECT_EQ(mountContaining(mounts, "/home")->source, "/dev/sda2");
    EXPECT_EQ(mountContaining(mounts, "/home/u/file")->source, "/dev/sda2");
    EXPECT_EQ(mountContaining(mounts, "/homework")->source, "/dev/sda1");
    EXPECT_EQ(mountContaining({}, "/"), std::nullopt);
}

} // namespace
} // namespace quillmere::platform
