#include "scan/ScannableVolume.hpp"

#include "scan/PathText.hpp"

#include <algorithm>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unordered_set>

namespace quillmere {
namespace {

std::optional<ScannableVolume> describe(std::string_view mountPoint,
                                        const std::vector<platform::MountEntry>& table,
                                        const platform::MountHost& host) {
    const std::optional<platform::MountEntry> mount = platform::mountContaining(table, mountPoint);
    if (!mount) return std::nullopt;
    return ScannableVolume::fromFacts(mountPoint, platform::describeMount(*mount, host));
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

ScannableVolume fallbackStartupVolume() {
    return ScannableVolume{.url = "/", .name = "Macintosh HD", .isStartupVolume = true, .isInternal = true};
}

std::optional<ScannableVolume> ScannableVolume::fromFacts(std::string_view mountPoint,
                                                          const platform::MountFacts& facts) {
    if (!facts.isBrowsable || !facts.isLocal || facts.totalBytes.value_or(0) < 1) return std::nullopt;
    return ScannableVolume{.url = std::string(mountPoint),
                           .name = facts.label.value_or(std::string(lastPathComponent(mountPoint))),
                           .uuid = facts.identifier,
                           .totalCapacityBytes = *facts.totalBytes,
                           .availableCapacityBytes = facts.availableBytes.value_or(0),
                           .isStartupVolume = facts.isRootFileSystem,
                           .isRemovable = facts.isRemovable || facts.isEjectable,
                           .isInternal = facts.isInternal.value_or(true)};
}

std::optional<ScannableVolume> ScannableVolume::volume(std::string_view mountPoint,
                                                       const platform::MountHost& host) {
    return describe(mountPoint, platform::mountTable(host), host);
}

ScannableVolume ScannableVolume::startupVolume(const platform::MountHost& host) {
    return volume("/", host).value_or(fallbackStartupVolume());
}

std::vector<ScannableVolume> ScannableVolume::mountedVolumes(const platform::MountHost& host) {
    const std::vector<platform::MountEntry> table = platform::mountTable(host);
    std::vector<ScannableVolume> volumes;
    std::unordered_set<std::string> seenKeys;
    for (const platform::MountEntry& mount : table) {
        std::optional<ScannableVolume> volume = describe(mount.mountPoint, table, host);
        // One volume mounted at two places is listed once, where it was mounted first.
        if (!volume || !seenKeys.insert(volume->uuid.value_or(volume->url)).second) continue;
        volumes.push_back(std::move(*volume));
    }
    std::stable_sort(volumes.begin(), volumes.end(), [](const ScannableVolume& a, const ScannableVolume& b) {
        if (a.isStartupVolume != b.isStartupVolume) return a.isStartupVolume;
        return localizedStandardCompare(a.name, b.name) < 0;
    });
    return volumes;
}

} // namespace quillmere
