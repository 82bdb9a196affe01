#include "scan/ScannableVolume.hpp"

#include "base/Format.hpp"
#include "base/PathText.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unordered_set>

namespace quillmere {
namespace {

std::optional<ScannableVolume> describe(std::string_view mountPoint, const platform::MountEntry& mount,
                                        const platform::MountHost& host, const std::string& systemName) {
    return ScannableVolume::fromFacts(mountPoint, platform::describeMount(mount, host), systemName);
}

// The code points compared by name order: decomposed, case folded, and at the first level
// without accents, so that "é" sorts beside "e" rather than after "z".
std::u32string sortKey(std::string_view text, bool keepAccents) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (U_SUCCESS(status)) {
        icu::UnicodeString decomposed = nfd->normalize(source, status);
        if (U_SUCCESS(status)) source = decomposed;
    }
    std::u32string key;
    for (int32_t i = 0; i < source.length(); i = source.moveIndex32(i, 1)) {
        const UChar32 c = source.char32At(i);
        if (!keepAccents && u_charType(c) == U_NON_SPACING_MARK) continue;
        key += static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
    return key;
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

int compareKeys(const std::u32string& a, const std::u32string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const size_t startA = i;
            const size_t startB = j;
            while (i < a.size() && isDigit(a[i]))
                ++i;
            while (j < b.size() && isDigit(b[j]))
                ++j;
            // Leading zeros carry no value; then the longer run is the larger number.
            std::u32string_view runA(a.data() + startA, i - startA);
            std::u32string_view runB(b.data() + startB, j - startB);
            while (runA.size() > 1 && runA.front() == U'0')
                runA.remove_prefix(1);
            while (runB.size() > 1 && runB.front() == U'0')
                runB.remove_prefix(1);
            if (runA.size() != runB.size()) return runA.size() < runB.size() ? -1 : 1;
            if (const int order = runA.compare(runB); order != 0) return order < 0 ? -1 : 1;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

} // namespace

int localizedStandardCompare(std::string_view a, std::string_view b) {
    if (const int order = compareKeys(sortKey(a, false), sortKey(b, false)); order != 0) return order;
    return compareKeys(sortKey(a, true), sortKey(b, true));
}

ScannableVolume fallbackStartupVolume(const std::string& systemName) {
    return ScannableVolume{.url = "/", .name = systemName, .isStartupVolume = true, .isInternal = true};
}

std::string capacityVolumeName(int64_t totalBytes) {
    if (totalBytes < 1000) return formatByteCount(totalBytes) + " Volume";
    // Whole decimal units, as disks are sold: "250 GB", "2 TB".
    static constexpr std::array<const char*, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(totalBytes) / 1000.0;
    size_t unit = 0;
    while (std::round(value) >= 1000.0 && unit + 1 < units.size()) {
        value /= 1000.0;
        ++unit;
    }
    return std::to_string(static_cast<int64_t>(std::round(value))) + " " + units[unit] + " Volume";
}

std::string ScannableVolume::startupName(const platform::MountHost& host) {
    const std::optional<std::string> text = host.osRelease ? host.osRelease() : std::nullopt;
    return (text ? platform::osReleaseName(*text) : std::nullopt).value_or("Computer");
}

std::optional<ScannableVolume> ScannableVolume::fromFacts(std::string_view mountPoint,
                                                          const platform::MountFacts& facts,
                                                          const std::string& systemName) {
    if (!facts.isBrowsable || !facts.isLocal || facts.totalBytes.value_or(0) < 1) return std::nullopt;
    // A mount point's folder name ("sdb1", "1a2b-3c4d") means nothing to a user.
    const std::string unlabelled =
        facts.isRootFileSystem ? systemName : capacityVolumeName(*facts.totalBytes);
    return ScannableVolume{.url = std::string(mountPoint),
                           .name = facts.label.value_or(unlabelled),
                           .uuid = facts.identifier,
                           .totalCapacityBytes = *facts.totalBytes,
                           .availableCapacityBytes = facts.availableBytes.value_or(0),
                           .isStartupVolume = facts.isRootFileSystem,
                           .isRemovable = facts.isRemovable || facts.isEjectable,
                           .isInternal = facts.isInternal.value_or(true),
                           .usedCapacityBytes = facts.usedBytes.value_or(0)};
}

std::optional<ScannableVolume> ScannableVolume::volume(std::string_view mountPoint,
                                                       const platform::MountHost& host) {
    const std::optional<platform::MountEntry> mount =
        platform::mountContaining(platform::mountTable(host), mountPoint);
    if (!mount) return std::nullopt;
    return describe(mountPoint, *mount, host, startupName(host));
}

ScannableVolume ScannableVolume::startupVolume(const platform::MountHost& host) {
    if (std::optional<ScannableVolume> volume = ScannableVolume::volume("/", host)) return *volume;
    return fallbackStartupVolume(startupName(host));
}

std::vector<ScannableVolume> ScannableVolume::mountedVolumes(const platform::MountHost& host) {
    const std::vector<platform::MountEntry> table = platform::mountTable(host);
    const std::string systemName = startupName(host);
    std::vector<std::pair<const platform::MountEntry*, ScannableVolume>> qualifying;
    for (const platform::MountEntry& mount : table)
        if (std::optional<ScannableVolume> volume = describe(mount.mountPoint, mount, host, systemName))
            qualifying.emplace_back(&mount, std::move(*volume));

    std::vector<ScannableVolume> volumes;
    std::unordered_set<std::string> seenKeys;
    for (auto& [mount, volume] : qualifying) {
        // A folder of a file system that another listed mount shows already is the same disk
        // seen twice (a bind mount).
        const bool seenElsewhere = std::ranges::any_of(
            qualifying, [&](const auto& other) { return platform::isFolderOf(*mount, *other.first); });
        // One volume mounted at two places is listed once, where it was mounted first.
        if (seenElsewhere || !seenKeys.insert(volume.uuid.value_or(volume.url)).second) continue;
        volumes.push_back(std::move(volume));
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const ScannableVolume& a, const ScannableVolume& b) {
        if (a.isStartupVolume != b.isStartupVolume) return a.isStartupVolume;
        return localizedStandardCompare(a.name, b.name) < 0;
    });
    return volumes;
}

} // namespace quillmere
