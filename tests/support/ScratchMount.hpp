#pragma once

// A real mount on a scratch folder for the tests that need one (root only), undone when it goes.

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace quillmere::testing {

class ScratchMount {
public:
    ScratchMount(const char* source, const std::string& target, const char* type, unsigned long flags,
                 const char* options)
        : target_(target) {
        mounted_ = ::mount(source, target.c_str(), type, flags, options) == 0;
    }
    // A tmpfs of `size` (as mount(8) writes it, "64k"), with a source name of its own so that
    // it can be found and undone even after a fault carried it elsewhere.
    static ScratchMount tmpfs(const std::string& target, const std::string& size = "16m") {
        static std::atomic<int> counter{0};
        const std::string source =
            "quillmere-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        ScratchMount mount(source.c_str(), target, "tmpfs", 0, ("size=" + size).c_str());
        mount.source_ = source;
        return mount;
    }
    ScratchMount(ScratchMount&& other) noexcept
        : target_(other.target_), source_(other.source_), mounted_(other.mounted_) {
        other.mounted_ = false;
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    ~ScratchMount() {
        if (!mounted_) return;
        ::umount2(target_.c_str(), MNT_DETACH);
        if (source_.empty()) return;
        // Wherever it went meanwhile.
        std::ifstream table("/proc/self/mountinfo");
        std::string line;
        std::vector<std::string> strays;
        while (std::getline(table, line)) {
            const size_t dash = line.find(" - ");
            std::istringstream fields(line), tail(dash == std::string::npos ? "" : line.substr(dash + 3));
            std::string id, parent, device, root, point, type, source;
            fields >> id >> parent >> device >> root >> point;
            tail >> type >> source;
            if (source == source_) strays.push_back(point);
        }
        for (const std::string& point : strays)
            ::umount2(point.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool remountReadOnly() const {
        return ::mount(nullptr, target_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string target_;
    std::string source_;
    bool mounted_ = false;
};

} // namespace quillmere::testing
