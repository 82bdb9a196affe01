#pragma once

// A real FUSE file system (fuse2fs over a small ext4 image) mounted at a folder, whose daemon
// can be stopped so that every call reaching the file system waits, as with a network share
// whose server went away. The mounts are made in a mount namespace of the test process's own
// (see enterPrivateMountNamespace), so no other process on the machine ever meets them.
//
// Teardown always lets the daemon go on, unmounts and reaps it, also when a test fails: the
// calls left waiting on it then return, and no process or mount stays behind.

#include <memory>
#include <string>
#include <sys/types.h>

namespace quillmere::testing {

// Moves this process into a mount namespace of its own; call it first thing in main, before
// any thread starts (threads keep the namespace they were started in). Empty on success, or
// why it could not be done.
std::string enterPrivateMountNamespace();

class StalledMount {
public:
    // Whether the image is put on a loop device first, so that the mount names a block device
    // and the volume list takes it for a disk.
    enum class AsDisk { no, yes };
    // Mounts a fresh file system at `mountPoint` (an empty folder) holding the file "inside"
    // (4096 bytes). Nothing, with `skipReason` set, where the machine cannot: no /dev/fuse, no
    // fuse2fs or mkfs.ext4, no private mount namespace, mounting is not allowed, or a disk was
    // asked for and no loop device can be set up.
    static std::unique_ptr<StalledMount> make(const std::string& mountPoint, std::string& skipReason,
                                              AsDisk asDisk = AsDisk::no);
    ~StalledMount();
    StalledMount(const StalledMount&) = delete;
    StalledMount& operator=(const StalledMount&) = delete;

    // Stops the daemon, and returns once it has stopped: from then on every call into the file
    // system waits.
    void stall();
    // Lets it answer again.
    void resume();
    const std::string& mountPoint() const { return mountPoint_; }

private:
    StalledMount(std::string mountPoint, std::string image, pid_t daemon)
        : mountPoint_(std::move(mountPoint)), image_(std::move(image)), daemon_(daemon) {}
    std::string mountPoint_;
    std::string image_;
    pid_t daemon_;
    std::string loopDevice_;
};

} // namespace quillmere::testing
