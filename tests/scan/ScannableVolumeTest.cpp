#include "scan/ScannableVolume.hpp"

#include "scan/ScanSnapshot.hpp"
#include "support/Gate.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sys/sysmacros.h>

namespace quillmere {
namespace {

using platform::BlockDeviceInfo;
using platform::DiskLink;

// A workstation: its system mounts, a network share, one disk image mounted twice, a USB stick,
// two data disks, a backup disk, a container's bind-mounted file and layers, memory-backed
// folders, a snap package, a loop-mounted ext4 image and a ZFS dataset.
const char* const kMountInfo = "21 26 0:20 / /proc rw,relatime shared:5 - proc proc rw\n"
                               "22 26 0:21 / /sys rw - sysfs sysfs rw\n"
                               "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                               "30 26 0:40 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                               "31 26 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                               "32 26 0:50 / /mnt/share rw - nfs4 server:/export rw\n"
                               "33 26 7:0 / /media/u/Image ro - iso9660 /dev/loop0 ro\n"
                               "34 26 7:0 / /mnt/image-again ro - iso9660 /dev/loop0 ro\n"
                               "35 26 8:17 / /media/u/DATA-B rw - ext4 /dev/sdb1 rw\n"
                               "36 26 8:33 / /mnt/Data\\0409 rw - xfs /dev/sdc1 rw\n"
                               "37 26 8:49 / /srv/backup rw - ext4 /dev/sdd1 rw\n"
                               "38 26 8:65 / /media/u/STICK rw - vfat /dev/sde1 rw\n"
                               "39 26 0:60 / /tmp rw - tmpfs tmpfs rw\n"
                               "40 26 0:61 / /scratch rw - tmpfs tmpfs rw\n"
                               "41 26 8:2 /etc/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
                               "42 26 0:70 / /var/lib/box/merged rw - overlay overlay rw\n"
                               "43 26 7:1 / /mnt/core22 ro - squashfs /dev/loop1 ro\n"
                               "44 26 7:2 / /mnt/disk-image rw - ext4 /dev/loop2 rw\n"
                               "45 26 0:80 / /tank rw - zfs tank/data rw\n"
                               "46 26 0:81 / /mnt/ram rw - ramfs ramfs rw\n"
                               "47 26 7:3 / /mnt/layer ro - erofs /dev/loop3 ro\n";

struct FakeHost {
    std::optional<std::string> table = kMountInfo;
    std::vector<std::string> emptyMounts = {"/scratch"};
    std::vector<std::string> unreadable;
    std::optional<std::string> osRelease =
        "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n";

    platform::MountHost host() const {
        return {.mountInfo = [this] { return table; },
                .statVfs =
                    [this](const char* path, struct statvfs* info) {
                        if (std::ranges::count(unreadable, path)) return -1;
                        *info = {};
                        info->f_frsize = 1024;
                        info->f_blocks = std::ranges::count(emptyMounts, path) ? 0 : 1000;
                        // 50 blocks are kept for the administrator: free, not available.
                        info->f_bfree = 300;
                        info->f_bavail = 250;
                        return 0;
                    },
                .diskLinks =
                    [](const std::string& folder) {
                        if (folder == platform::kDisksByUuid)
                            return std::vector<DiskLink>{{"root-uuid", makedev(8, 2)},
                                                         {"image-uuid", makedev(7, 0)},
                                                         {"b-uuid", makedev(8, 17)},
                                                         {"stick-uuid", makedev(8, 65)}};
                        return std::vector<DiskLink>{{"Data\\x2010", makedev(8, 17)},
                                                     {"Data\\x209", makedev(8, 33)},
                                                     {"Backup", makedev(8, 49)}};
                    },
                .blockDeviceAt = [](const std::string&) { return std::optional<dev_t>(); },
                .blockDeviceInfo = [](dev_t device) -> std::optional<BlockDeviceInfo> {
                    if (device == makedev(8, 65))
                        return BlockDeviceInfo{.isRemovable = true, .isExternal = true};
                    if (major(device) == 7) return BlockDeviceInfo{.isLoop = true};
                    if (device == makedev(8, 49)) return BlockDeviceInfo{.isRemovable = true};
                    return BlockDeviceInfo{};
                },
                .isDirectory = [](const std::string& path) { return path != "/etc/hosts"; },
                .realPath = [](const std::string& path) { return std::optional(path); },
                .osRelease = [this] { return osRelease; }};
    }
};

std::vector<std::string> urls(const std::vector<ScannableVolume>& volumes) {
    std::vector<std::string> out;
    for (const ScannableVolume& volume : volumes)
        out.push_back(volume.url);
    return out;
}

TEST(ScannableVolume, ListsScannableVolumesStartupFirstThenByName) {
    const FakeHost fake;
    const std::vector<ScannableVolume> volumes = ScannableVolume::mountedVolumes(fake.host());
    // Left out: pseudo and system mounts, the network share, the image's second mount point,
    // the empty file system, the bind-mounted file, memory-backed and overlay folders and
    // package images. Unlabelled ones are named by capacity.
    EXPECT_EQ(urls(volumes),
              (std::vector<std::string>{"/", "/media/u/Image", "/media/u/STICK", "/mnt/disk-image", "/tank",
                                        "/srv/backup", "/mnt/Data 9", "/media/u/DATA-B"}));
    EXPECT_EQ(volumes[0], (ScannableVolume{.url = "/",
                                           .name = "Debian GNU/Linux",
                                           .uuid = "root-uuid",
                                           .totalCapacityBytes = 1'024'000,
                                           .availableCapacityBytes = 256'000,
                                           .isStartupVolume = true,
                                           .usedCapacityBytes = 716'800}));
    EXPECT_EQ(volumes[5].name, "Backup");
    EXPECT_TRUE(volumes[5].isRemovable);
    EXPECT_TRUE(volumes[5].isInternal); // removable, but nothing says external
    EXPECT_EQ(volumes[6].name, "Data 9");
    EXPECT_EQ(volumes[7].name, "Data 10");
    EXPECT_TRUE(volumes[1].isRemovable);
    EXPECT_TRUE(volumes[2].isRemovable && !volumes[2].isInternal);
    EXPECT_TRUE(volumes[3].isRemovable); // an image can be detached
    EXPECT_EQ(volumes[4].uuid, "mount:zfs:tank/data:/tank");
}

// A disk whose file system stopped answering (its FUSE daemon stopped, say): described on a
// thread of its own, it is left out once its time is up, and no other volume waits for it.
TEST(ScannableVolume, AVolumeThatDoesNotAnswerIsLeftOutAndNoOtherWaitsForIt) {
    // The call left waiting keeps the host until it ends, which may be after this test and
    // after the process's static objects are destroyed: both live on, never destroyed.
    static testing::Gate& gate = *new testing::Gate;
    static const FakeHost& fake = *new FakeHost;
    gate.close();
    const testing::Gate::OpensAtExit release{gate};
    platform::MountHost host = fake.host();
    host.statVfs = [answer = host.statVfs](const char* path, struct statvfs* info) {
        if (std::string_view(path) == "/srv/backup") gate.pass();
        return answer(path, info);
    };
    const std::vector<ScannableVolume> volumes =
        ScannableVolume::mountedVolumes(host, std::chrono::milliseconds(200));
    EXPECT_EQ(urls(volumes),
              (std::vector<std::string>{"/", "/media/u/Image", "/media/u/STICK", "/mnt/disk-image", "/tank",
                                        "/mnt/Data 9", "/media/u/DATA-B"}));
    EXPECT_EQ(gate.waiting(), 1);
    EXPECT_FALSE(ScannableVolume::volume("/srv/backup", host, std::chrono::milliseconds(200)));
    gate.open();
    EXPECT_TRUE(testing::eventually([] { return gate.waiting() == 0; }));
    EXPECT_TRUE(ScannableVolume::volume("/srv/backup", host, std::chrono::milliseconds(200)));
}

TEST(ScannableVolume, TheRootIsADiskWhateverItsFileSystem) {
    // Inside a container "/" is an overlay and /tmp a tmpfs: the startup disk is still offered.
    FakeHost fake;
    fake.table = "1 0 0:90 / / rw - overlay overlay rw\n"
                 "2 1 0:91 / /tmp rw - tmpfs tmpfs rw\n";
    const std::vector<ScannableVolume> volumes = ScannableVolume::mountedVolumes(fake.host());
    EXPECT_EQ(urls(volumes), std::vector<std::string>{"/"});
    EXPECT_EQ(volumes[0].uuid, "mount:overlay:overlay:/");
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()), volumes[0]);
}

TEST(ScannableVolume, StartupVolumeFallsBackWhenRootCannotBeRead) {
    FakeHost fake;
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()).uuid, "root-uuid");
    const ScannableVolume fallback{.url = "/", .name = "Debian GNU/Linux", .isStartupVolume = true};
    fake.unreadable = {"/"};
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()), fallback);
    fake.table.reset();
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()), fallback);
    EXPECT_TRUE(ScannableVolume::mountedVolumes(fake.host()).empty());
}

TEST(ScannableVolume, UnlabelledVolumesTakeTheSystemsNameOrTheirCapacity) {
    FakeHost fake;
    std::vector<ScannableVolume> volumes = ScannableVolume::mountedVolumes(fake.host());
    const auto named = [&](const std::string& url) {
        return std::ranges::find(volumes, url, &ScannableVolume::url)->name;
    };
    EXPECT_EQ(named("/"), "Debian GNU/Linux");
    EXPECT_EQ(named("/media/u/STICK"), "1 MB Volume"); // 1,024,000 bytes, no label
    EXPECT_EQ(named("/srv/backup"), "Backup");         // a label wins

    // Without os-release the startup disk is "Computer", also as the stand-in for "/".
    fake.osRelease.reset();
    volumes = ScannableVolume::mountedVolumes(fake.host());
    EXPECT_EQ(named("/"), "Computer");
    fake.unreadable = {"/"};
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()).name, "Computer");
    fake.osRelease = "ID=debian\nNAME=\n";
    EXPECT_EQ(ScannableVolume::startupVolume(fake.host()).name, "Computer");

    EXPECT_EQ(capacityVolumeName(250'059'350'016), "250 GB Volume");
    EXPECT_EQ(capacityVolumeName(2'000'398'934'016), "2 TB Volume");
    EXPECT_EQ(capacityVolumeName(999'600'000'000), "1 TB Volume"); // rounds up into the next unit
    EXPECT_EQ(capacityVolumeName(31'914'983'424), "32 GB Volume");
    EXPECT_EQ(capacityVolumeName(512), "512 bytes Volume");

    EXPECT_EQ(platform::osReleaseName("NAME='Fedora Linux'\n"), "Fedora Linux");
    EXPECT_EQ(platform::osReleaseName("NAME=Arch\n"), "Arch");
    EXPECT_EQ(platform::osReleaseName("PRETTY_NAME=x\nNAME=\"Say \\\"hi\\\"\"\n"), "Say \"hi\"");
    EXPECT_EQ(platform::osReleaseName("ID=x\n"), std::nullopt);
}

TEST(ScannableVolume, ABindMountedFolderIsTheSameDiskSeenTwiceAndIsLeftOut) {
    FakeHost fake;
    fake.table = "26 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                 "50 26 8:2 /srv/www /var/www rw - ext4 /dev/sda2 rw\n" // a folder of / again
                 "51 26 8:17 / /media/u/DATA-B rw - ext4 /dev/sdb1 rw\n"
                 "52 26 8:17 /films /home/u/Films rw - ext4 /dev/sdb1 rw\n" // a folder of DATA-B
                 "53 26 8:49 /part /srv/part rw - ext4 /dev/sdd1 rw\n"      // only a folder of its disk
                 "54 26 8:65 / /boot/extra rw - ext4 /dev/sde1 rw\n"        // hidden place...
                 "55 26 8:65 /sub /mnt/sub rw - ext4 /dev/sde1 rw\n";       // ...so this is its only view
    EXPECT_EQ(urls(ScannableVolume::mountedVolumes(fake.host())),
              (std::vector<std::string>{"/", "/mnt/sub", "/srv/part", "/media/u/DATA-B"}));

    // btrfs subvolumes side by side are separate volumes; a folder inside one mounted again is not.
    fake.table = "26 1 0:31 /@ / rw - btrfs /dev/sda2 rw\n"
                 "27 26 0:31 /@home /home rw - btrfs /dev/sda2 rw\n"
                 "28 26 0:31 /@home/u/vm /vm rw - btrfs /dev/sda2 rw\n";
    platform::MountHost host = fake.host();
    host.blockDeviceAt = [](const std::string& path) {
        return path == "/dev/sda2" ? std::optional<dev_t>(makedev(8, 2)) : std::nullopt;
    };
    EXPECT_EQ(urls(ScannableVolume::mountedVolumes(host)), (std::vector<std::string>{"/", "/home"}));
}

TEST(ScannableVolume, IdentifiersTellSubvolumesApartAndFollowLinks) {
    FakeHost fake;
    fake.table = "26 1 0:31 /@ / rw - btrfs /dev/sda2 rw\n"
                 "27 26 0:32 /@home /home rw - btrfs /dev/sda2 rw\n"
                 "28 26 7:0 / /media/u/Image ro - iso9660 /dev/root ro\n"
                 "29 26 0:60 / /tmp rw - tmpfs tmpfs rw\n";
    platform::MountHost host = fake.host();
    // btrfs lists an anonymous device number; the source names the disk.
    host.blockDeviceAt = [](const std::string& path) {
        return path == "/dev/sda2" ? std::optional<dev_t>(makedev(8, 2)) : std::nullopt;
    };
    host.realPath = [](const std::string& path) {
        return std::optional(path.starts_with("/link") ? "/home" + path.substr(5) : path);
    };
    EXPECT_EQ(urls(ScannableVolume::mountedVolumes(host)),
              (std::vector<std::string>{"/", "/home", "/media/u/Image"}));
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/etc", host), "root-uuid:/@");
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/home/u", host), "root-uuid:/@home");
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/link/u", host), "root-uuid:/@home");
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/homework", host), "root-uuid:/@");
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/media/u/Image/a", host), "image-uuid"); // by the table's number
    EXPECT_EQ(ScanSnapshotStore::volumeUUID("/tmp/x", host), "mount:tmpfs:tmpfs:/tmp");
}

TEST(ScannableVolume, NamesCompareLikeTheFileManager) {
    std::vector<std::string> names{"Data 10", "data 9",  "Backup", "Éclair",
                                   "Echo",    "Data 09", "zeta",   "Data 2"};
    std::ranges::stable_sort(
        names, [](const std::string& a, const std::string& b) { return localizedStandardCompare(a, b) < 0; });
    EXPECT_EQ(names, (std::vector<std::string>{"Backup", "Data 2", "data 9", "Data 09", "Data 10", "Echo",
                                               "Éclair", "zeta"}));
    EXPECT_EQ(localizedStandardCompare("Eclair", "Éclair"), -1); // accents break ties only
    EXPECT_EQ(localizedStandardCompare("a", "A"), 0);
}

} // namespace
} // namespace quillmere
