#pragma once

// Fixtures of the System Data tests: fake tools, a home and a volume shaped like a disk, and the
// probe wired to them.

#include "scan/ScanTestSupport.hpp"
#include "systemdata/SystemDataProbe.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillmere::testing {

// Writes an executable shell script.
inline std::string writeScript(const std::string& path, const std::string& body) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

inline std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A volume folder and a home folder inside one scratch folder, with the table pointing at them.
struct ProbeFixture {
    ScratchFolder scratch;
    std::string volume = scratch / "volume";
    std::string home = scratch / "volume/home/ann";
    FakeHost host;

    ProbeFixture() {
        makeFolder(volume);
        makeFolder(home);
    }

    SystemDataLocations locations(std::vector<platform::MountEntry> mounts = {},
                                  std::map<std::string, std::string> environment = {}) const {
        SystemDataLocations table = SystemDataLocations::make(
            volume, home,
            [environment](const char* name) -> std::optional<std::string> {
                const auto found = environment.find(name);
                if (found == environment.end()) return std::nullopt;
                return found->second;
            },
            mounts, [](const std::string&) { return false; });
        table.btrfsTool = scratch / "tools/btrfs";
        table.zfsTool = scratch / "tools/zfs";
        return table;
    }

    SystemDataProbeServices services() {
        SystemDataProbeServices s = SystemDataProbeServices::system();
        s.host = &host;
        s.formatDate = [](Date date) { return "day " + std::to_string(static_cast<int64_t>(date) / 86400); };
        return s;
    }

    SystemDataProbe probe(SystemDataLocations table) { return SystemDataProbe(std::move(table), services()); }
};

} // namespace quillmere::testing
