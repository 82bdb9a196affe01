#include "systemdata/SystemDataRun.hpp"

#include "platform/HostSystem.hpp"
#include "systemdata/SystemDataProbe.hpp"

#include <sys/stat.h>

namespace quillmere {

std::optional<uint64_t> deviceOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.st_dev);
}

SystemDataProbeInput
probeInputFor(const DiskScanResult& scan, const std::string& volume,
              const std::function<std::optional<uint64_t>(const std::string&)>& deviceOf) {
    const auto scanned = deviceOf(scan.root.path());
    const auto probed = deviceOf(volume);
    if (!scanned || !probed || *scanned != *probed) return {};
    return {accountedBytes(scan), scan.root, scan.deniedPaths, scan.isComplete};
}

SystemDataReport probeStartupVolume(const DiskScanResult& scan) {
    const std::string volume = "/";
    const std::string home = platform::homeDirectory();
    const SystemDataProbeInput input = probeInputFor(scan, volume, deviceOfPath);
    const SystemDataProbe probe(SystemDataLocations::system(volume, home), SystemDataProbeServices::system());
    return probe.probe(input.scanTotalBytes, std::nullopt, input.scanRoot, input.deniedPaths,
                       input.scanIsComplete);
}

} // namespace quillmere
