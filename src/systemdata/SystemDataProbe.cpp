#include "systemdata/SystemDataProbe.hpp"

#include "systemdata/SystemDataTexts.hpp"

#include <algorithm>
#include <thread>

namespace quillmere {

namespace text = systemdata_text;

SystemDataProbe::SystemDataProbe(SystemDataLocations locations, SystemDataProbeServices services)
    : locations_(std::move(locations)), services_(std::move(services)) {
    if (!services_.host) services_.host = &platform::ScanHost::system();
}

FolderSize SystemDataProbe::directorySize(const std::string& folder, const std::optional<FileNode>& scanRoot,
                                          const std::vector<DeniedPath>& deniedPaths) const {
    return quillmere::directorySize(folder, scanRoot, deniedPaths, *services_.host);
}

std::expected<int64_t, SystemDataProbeError> SystemDataProbe::volumeUsedBytes() const {
    struct statvfs info {};
    if (!services_.statVfs || services_.statVfs(locations_.volume.c_str(), &info) != 0 || info.f_frsize == 0)
        return std::unexpected(SystemDataProbeError::volumeCapacityUnavailable);
    const auto used = static_cast<int64_t>(info.f_blocks - std::min(info.f_bfree, info.f_blocks));
    return used * static_cast<int64_t>(info.f_frsize);
}

std::vector<SystemDataCategory> SystemDataProbe::runConcurrently(const std::vector<ProbeTask>& probes) {
    std::vector<std::optional<SystemDataCategory>> slots(probes.size());
    const auto runOne = [&](size_t i) {
        try {
            slots[i] = probes[i].run();
        } catch (...) {
            slots[i].reset();
        }
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < probes.size(); ++i) {
        try {
            threads.emplace_back(runOne, i);
        } catch (const std::system_error&) {
            runOne(i); // no thread to be had: run it here
        }
    }
    if (!probes.empty()) runOne(0);
    for (std::thread& thread : threads)
        thread.join();
    std::vector<SystemDataCategory> categories;
    categories.reserve(probes.size());
    for (size_t i = 0; i < probes.size(); ++i) {
        if (slots[i]) {
            categories.push_back(std::move(*slots[i]));
            continue;
        }
        // A probe that failed inside still gets its row, empty and not offered.
        SystemDataCategory failed;
        failed.id = probes[i].id;
        failed.name = probes[i].name;
        failed.explanation = text::probeFailed();
        failed.reclaimabilityReason = text::nothingToReclaim;
        categories.push_back(std::move(failed));
    }
    return categories;
}

SystemDataReport SystemDataProbe::assemble(std::vector<SystemDataCategory> probed,
                                           std::optional<int64_t> scanTotalBytes, int64_t usedBytes,
                                           std::optional<int64_t> scanHiddenBytes) {
    int64_t named = 0;
    int64_t deniedSum = 0;
    for (const SystemDataCategory& category : probed) {
        named += category.sizeBytes;
        deniedSum += category.deniedBytesEstimate;
    }
    const int64_t attributed = scanTotalBytes ? std::max(*scanTotalBytes, named) : named;
    const int64_t unexplained = std::max<int64_t>(usedBytes - attributed, 0);
    const int64_t denied = std::min(unexplained, scanHiddenBytes.value_or(deniedSum));
    const bool hasScan = scanTotalBytes.has_value();

    SystemDataCategory deniedRow{systemdata_ids::denied,
                                 text::deniedName(),
                                 denied,
                                 text::deniedExplanation(denied, scanHiddenBytes.has_value()),
                                 false,
                                 text::deniedReason(),
                                 text::deniedMechanism(scanHiddenBytes.has_value()),
                                 std::nullopt,
                                 0};
    probed.push_back(std::move(deniedRow));
    SystemDataCategory remainder{systemdata_ids::remainder,
                                 text::remainderName(),
                                 unexplained - denied,
                                 text::remainderExplanation(hasScan),
                                 false,
                                 text::remainderReason(),
                                 text::remainderMechanism(hasScan),
                                 std::nullopt,
                                 0};
    return {usedBytes, std::move(probed), std::move(remainder)};
}

SystemDataReport SystemDataProbe::probe(std::optional<int64_t> scanTotalBytes,
                                        std::optional<int64_t> volumeUsedBytesArgument,
                                        const std::optional<FileNode>& scanRoot,
                                        const std::vector<DeniedPath>& deniedPaths,
                                        bool scanIsComplete) const {
    const auto& root = scanRoot;
    const auto& denied = deniedPaths;
    const std::vector<ProbeTask> table{
        {systemdata_ids::localSnapshots, text::localSnapshotsName(),
         [&] { return localSnapshotsCategory(); }},
        {systemdata_ids::timeMachine, text::backupsName(),
         [&] { return timeMachineBackupsCategory(root, denied); }},
        {systemdata_ids::deviceBackups, text::deviceBackupsName(),
         [&] { return deviceBackupsCategory(root, denied); }},
        {systemdata_ids::derivedData, text::derivedDataName(),
         [&] { return derivedDataCategory(root, denied); }},
        {systemdata_ids::userCaches, text::userCachesName(),
         [&] { return userCachesCategory(root, denied); }},
        {systemdata_ids::systemCaches, text::systemCachesName(),
         [&] { return systemCachesCategory(root, denied); }},
        {systemdata_ids::mailDownloads, text::mailName(),
         [&] { return mailDownloadsCategory(root, denied); }},
        {systemdata_ids::cloudContent, text::cloudName(), [&] { return cachedICloudContentCategory(); }},
    };
    std::vector<SystemDataCategory> probed = runConcurrently(table);
    int64_t used = 0;
    if (volumeUsedBytesArgument)
        used = *volumeUsedBytesArgument;
    else if (const auto read = volumeUsedBytes())
        used = *read;
    std::optional<int64_t> hidden;
    if (scanTotalBytes) hidden = bytesHiddenByPermissions(used, *scanTotalBytes, deniedPaths, scanIsComplete);
    return assemble(std::move(probed), scanTotalBytes, used, hidden);
}

std::vector<std::string> trimmedLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!line.empty()) lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace quillmere
