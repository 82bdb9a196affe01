#pragma once

// Shared helpers of the scan engine's tests: scratch trees on disk, a host double that
// injects failures and stand-ins, and checks that hold for every scanned tree.

#include "platform/ScanHost.hpp"
#include "scan/DiskScanner.hpp"
#include "support/Eventually.hpp"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillmere::testing {

// A fresh folder in the temporary directory, removed with its contents. Removal goes
// through rm, which copes with trees whose paths are longer than PATH_MAX.
class ScratchFolder {
public:
    ScratchFolder() : ScratchFolder(std::filesystem::temp_directory_path()) {}
    // In `base`, e.g. a memory file system for trees of hundreds of thousands of entries.
    explicit ScratchFolder(const std::filesystem::path& base) {
        std::string pattern = (base / "quillmere-scan-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// /dev/shm when this machine has it (a memory file system makes huge trees quick to build).
inline std::filesystem::path fastTemporaryFolder() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0
               ? std::filesystem::path("/dev/shm")
               : std::filesystem::temp_directory_path();
}

// Writes `bytes` bytes (creating the parent folders), so the file's blocks are allocated.
// The fields of every node of the tree, by path, for comparing two trees whatever the
// order of their children.
inline std::map<std::string, NodeFields> fieldsByPath(const FileNode& root) {
    std::map<std::string, NodeFields> nodes;
    std::vector<const FileNode*> pending{&root};
    while (!pending.empty()) {
        const FileNode* node = pending.back();
        pending.pop_back();
        nodes[node->path()] = node->fields();
        for (const FileNode& child : node->children())
            pending.push_back(&child);
    }
    return nodes;
}

inline void writeFile(const std::string& path, size_t bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'q');
}

inline void makeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
}

inline struct stat lstatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

inline int64_t allocatedBytes(const std::string& path) {
    return static_cast<int64_t>(lstatOf(path).st_blocks) * 512;
}

// The descriptors this process has open.
inline size_t openDescriptorCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The number of open descriptors once it is back at `expected`, or what it still is when
// waiting ends: a task-pool worker still starting up may hold one of its own for a moment,
// while a descriptor the scan leaked stays open.
inline size_t openDescriptorCountSettlingAt(size_t expected) {
    size_t count = openDescriptorCount();
    (void)eventually([&] { return (count = openDescriptorCount()) == expected; });
    return count;
}

// A mount table line for a mount of `root` (a folder of its file system) at `mountPoint`.
inline platform::MountEntry mountOf(const std::string& mountPoint, const std::string& root = "/") {
    return platform::MountEntry{
        .root = root, .mountPoint = mountPoint, .fileSystemType = "ext4", .source = "/dev/x"};
}

// Reads a stream to its end.
inline std::vector<ScanEvent> readAll(ScanEventStream stream) {
    std::vector<ScanEvent> events;
    while (std::optional<ScanEvent> event = stream.next())
        events.push_back(std::move(*event));
    return events;
}

inline std::vector<ScanProgress> progressOf(const std::vector<ScanEvent>& events) {
    std::vector<ScanProgress> progress;
    for (const ScanEvent& event : events)
        if (const auto* p = std::get_if<ScanProgress>(&event)) progress.push_back(*p);
    return progress;
}

inline int finishedCount(const std::vector<ScanEvent>& events) {
    int count = 0;
    for (const ScanEvent& event : events)
        count += std::holds_alternative<DiskScanResult>(event) ? 1 : 0;
    return count;
}

inline std::vector<std::string> childNames(const FileNode& node) {
    std::vector<std::string> names;
    for (const FileNode& child : node.children())
        names.emplace_back(child.name());
    return names;
}

inline std::set<std::string> childNameSet(const FileNode& node) {
    const std::vector<std::string> names = childNames(node);
    return {names.begin(), names.end()};
}

inline const FileNode* childNamed(const FileNode& node, std::string_view name) {
    for (const FileNode& child : node.children())
        if (child.name() == name) return &child;
    return nullptr;
}

// A folder that was not entered: present, childless, counting only itself.
inline void expectChildless(const FileNode* node, const std::string& what) {
    ASSERT_NE(node, nullptr) << what;
    EXPECT_TRUE(node->isDirectory()) << what;
    EXPECT_TRUE(node->children().empty()) << what;
    EXPECT_EQ(node->allocatedSize(), 0) << what;
    EXPECT_EQ(node->folderCount(), 1) << what;
    EXPECT_EQ(node->fileCount(), 0) << what;
}

// Every folder's totals follow from its children, however the scan ended.
inline void expectConsistentTree(const FileNode& root) {
    std::vector<const FileNode*> pending{&root};
    int reported = 0;
    while (!pending.empty() && reported < 5) {
        const FileNode* node = pending.back();
        pending.pop_back();
        if (node->isAggregate()) continue;
        if (!node->isDirectory()) {
            EXPECT_EQ(node->fileCount(), 1) << node->path();
            EXPECT_EQ(node->folderCount(), 0) << node->path();
            continue;
        }
        const FileNode::Totals expected = FileNode::folderTotals(node->children());
        const FileNode::Totals actual{node->allocatedSize(), node->cloudOnlyCount(), node->folderCount(),
                                      node->fileCount(), node->sharedBytesTotal()};
        if (actual != expected) {
            ADD_FAILURE() << "totals of " << node->path() << " do not follow from its children";
            ++reported;
        }
        for (const FileNode& child : node->children())
            pending.push_back(&child);
    }
}

// The real host with injected answers. Rules are keyed by an entry's name (the last
// component of what the engine asks about) and set before the scan starts.
class FakeHost : public platform::ScanHost {
public:
    std::map<std::string, int> openError; // errno for opening that folder (the root too)
    // errno for the first `count` opens of that folder (the root too), then the real answer.
    struct PassingError {
        int error;
        int count;
    };
    std::map<std::string, PassingError> passingOpenError;
    std::map<std::string, int> statError;      // errno for examining that entry
    std::map<std::string, int> listError;      // errno for reading that folder's entries
    std::map<std::string, int> laterListError; // errno for every read of that folder after the first
    std::map<std::string, int> reopenError;    // errno for opening that folder a second time
    std::map<std::string, ino_t> inodes;       // st_ino stand-ins
    std::set<std::string> onOtherDevice;       // folders that report another st_dev
    std::map<std::string, blkcnt_t> blocks;    // st_blocks stand-ins
    std::map<std::string, std::vector<platform::SharedExtent>> extents; // shared extents by name
    std::set<ino_t> datalessInodes;
    std::map<std::string, std::optional<platform::CloudItemStatus>> cloud;
    int processors = 0; // 0: the real count
    std::optional<std::vector<platform::MountEntry>> mountTable;
    std::function<void(const std::string& name)> onStat;
    // Called before every host call with the call's name ("open", "stat", "list", "root",
    // "extents") and the entry's name; may throw to inject a failure there.
    std::function<void(std::string_view call, const std::string& name)> onCall;

    struct Probe {
        std::string name;
        int64_t bytes;
    };
    std::vector<Probe> probes() const {
        std::lock_guard guard(lock_);
        return probes_;
    }
    std::vector<std::string> cloudQueries() const {
        std::lock_guard guard(lock_);
        return cloudQueries_;
    }
    std::multiset<std::string> openedFolders() const {
        std::lock_guard guard(lock_);
        return opened_;
    }
    std::string nameOfDescriptor(int fd) const {
        std::lock_guard guard(lock_);
        const auto found = descriptors_.find(fd);
        return found == descriptors_.end() ? std::string() : found->second;
    }

    platform::Fd openDirectoryAt(int directoryFd, const char* name) override {
        const std::string key = keyOf(name);
        if (onCall) onCall("open", key);
        if (injectOpenError(key)) return platform::Fd();
        if (const auto rule = reopenError.find(key); rule != reopenError.end()) {
            std::lock_guard guard(lock_);
            if (opened_.contains(key)) {
                errno = rule->second;
                return platform::Fd();
            }
        }
        platform::Fd fd = ScanHost::openDirectoryAt(directoryFd, name);
        if (fd) {
            std::lock_guard guard(lock_);
            opened_.insert(key);
            descriptors_[fd.get()] = key;
            reads_.erase(fd.get());
        }
        return fd;
    }
    platform::Fd openRoot(const std::string& path) override {
        if (onCall) onCall("root", keyOf(path.c_str()));
        if (injectOpenError(keyOf(path.c_str()))) return platform::Fd();
        platform::Fd fd = ScanHost::openRoot(path);
        if (fd) {
            std::lock_guard guard(lock_);
            descriptors_[fd.get()] = keyOf(path.c_str());
        }
        return fd;
    }
    int statAt(int directoryFd, const char* name, struct stat* info) override {
        const std::string key = keyOf(name);
        if (onStat) onStat(key);
        if (onCall) onCall("stat", key);
        if (const auto rule = statError.find(key); rule != statError.end()) {
            errno = rule->second;
            return -1;
        }
        const int result = ScanHost::statAt(directoryFd, name, info);
        if (result != 0) return result;
        if (onOtherDevice.contains(key)) info->st_dev += 1;
        if (const auto rule = blocks.find(key); rule != blocks.end()) info->st_blocks = rule->second;
        if (const auto rule = inodes.find(key); rule != inodes.end()) info->st_ino = rule->second;
        return 0;
    }
    int statDescriptor(int fd, struct stat* info) override {
        const std::string key = nameOfDescriptor(fd);
        if (onCall) onCall("fstat", key);
        if (const auto rule = statError.find(key); rule != statError.end()) {
            errno = rule->second;
            return -1;
        }
        const int result = ScanHost::statDescriptor(fd, info);
        if (result != 0) return result;
        if (const auto rule = blocks.find(key); rule != blocks.end()) info->st_blocks = rule->second;
        return 0;
    }
    long readEntries(int directoryFd, void* buffer, size_t size) override {
        const std::string key = nameOfDescriptor(directoryFd);
        if (onCall) onCall("list", key);
        if (const auto rule = listError.find(key); rule != listError.end()) {
            errno = rule->second;
            return -1;
        }
        if (const auto rule = laterListError.find(key); rule != laterListError.end()) {
            std::lock_guard guard(lock_);
            if (reads_[directoryFd]++ > 0) {
                errno = rule->second;
                return -1;
            }
        }
        return ScanHost::readEntries(directoryFd, buffer, size);
    }
    bool isDataless(const struct stat& info) override { return datalessInodes.contains(info.st_ino); }
    std::optional<platform::CloudItemStatus> cloudStatus(const std::string& path) override {
        {
            std::lock_guard guard(lock_);
            cloudQueries_.push_back(path);
        }
        const auto rule = cloud.find(keyOf(path.c_str()));
        return rule == cloud.end() ? ScanHost::cloudStatus(path) : rule->second;
    }
    std::vector<platform::SharedExtent> sharedExtents(int, const char* name, int64_t bytes) override {
        const std::string key = keyOf(name);
        if (onCall) onCall("extents", key);
        {
            std::lock_guard guard(lock_);
            probes_.push_back({key, bytes});
        }
        const auto rule = extents.find(key);
        return rule == extents.end() ? std::vector<platform::SharedExtent>{} : rule->second;
    }
    int activeProcessorCount() override {
        return processors > 0 ? processors : ScanHost::activeProcessorCount();
    }
    std::vector<platform::MountEntry> mounts() override {
        return mountTable ? *mountTable : ScanHost::mounts();
    }

private:
    static std::string keyOf(const char* name) { return std::string(lastPathComponent(name)); }
    bool injectOpenError(const std::string& key) {
        if (const auto rule = openError.find(key); rule != openError.end()) {
            errno = rule->second;
            return true;
        }
        std::lock_guard guard(lock_);
        if (const auto rule = passingOpenError.find(key);
            rule != passingOpenError.end() && rule->second.count > 0) {
            --rule->second.count;
            errno = rule->second.error;
            return true;
        }
        return false;
    }

    mutable std::mutex lock_;
    std::vector<Probe> probes_;
    std::vector<std::string> cloudQueries_;
    std::multiset<std::string> opened_;
    std::map<int, std::string> descriptors_;
    std::map<int, int> reads_;
};

} // namespace quillmere::testing
