#include "applications/model/OrphanLeftovers.hpp"

#include "applications/model/LeftoverMatching.hpp"
#include "applications/model/TextRules.hpp"
#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"
#include "scan/FileNode.hpp"
#include "scan/TaskGroup.hpp"

#include <algorithm>
#include <map>
#include <unicode/uchar.h>

namespace quillmere::OrphanLeftoverAttributor {

namespace {

using Group = LeftoverItem::Group;

std::string_view withoutPlistSuffix(std::string_view name) {
    constexpr std::string_view suffix = ".plist";
    if (name.size() < suffix.size()) return name;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    const bool matches = std::ranges::equal(tail, suffix, [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
    return matches ? name.substr(0, name.size() - suffix.size()) : name;
}

std::vector<std::string> dotParts(std::string_view name) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t dot = std::min(name.find('.', start), name.size());
        if (dot > start) parts.emplace_back(name.substr(start, dot - start));
        start = dot + 1;
    }
    return parts;
}

bool isAllLetters(std::string_view text) {
    return std::ranges::all_of(text::codePoints(text),
                               [](char32_t c) { return u_isalpha(static_cast<UChar32>(c)); });
}

std::optional<std::string_view> summaryWord(Group group) {
    switch (group) {
    case Group::application:
        return std::nullopt;
    case Group::soundLibrariesAndContent:
        return "content";
    case Group::supportAndContainers:
        return "support";
    case Group::cachesPreferencesAndState:
        return "caches and preferences";
    }
    return std::nullopt;
}

OrphanLeftoverGroup unmatchedGroup(const OrphanEntry& entry) {
    return {.guessedAppName = std::nullopt,
            .evidence = entry.name,
            .summary = std::string(kUnmatchedSummary),
            .entries = {entry}};
}

} // namespace

const std::vector<std::string_view>& genericTrailingWords() {
    static const std::vector<std::string_view> words{
        "helper",      "helperapp", "agent",    "daemon",     "service",       "updater",  "update",
        "uninstaller", "installer", "launcher", "autoupdate", "crashreporter", "reporter", "plugin"};
    return words;
}

std::optional<NameSignature> NameSignature::make(std::string_view entryName) {
    const std::string_view name = withoutPlistSuffix(entryName);
    std::vector<std::string> parts = dotParts(name);
    if (parts.size() >= 3) {
        const size_t vendorLength = text::characterCount(parts.front());
        if (vendorLength >= 2 && vendorLength <= 4 && isAllLetters(parts.front())) {
            std::vector<std::string> tail(parts.begin() + 1, parts.end());
            if (std::ranges::find(genericTrailingWords(), text::lowercased(tail.back())) !=
                genericTrailingWords().end())
                tail.pop_back();
            if (tail.empty() || text::characterCount(tail.front()) < 3) return std::nullopt;
            return NameSignature{.vendorToken = text::lowercased(parts.front()),
                                 .canonicalKey = text::lowercased(tail.front()),
                                 .descriptiveWords = std::move(tail)};
        }
    }
    if (name.find('.') != std::string_view::npos) return std::nullopt;
    std::string squeezed = text::squeezed(name);
    if (text::characterCount(squeezed) < 3) return std::nullopt;
    return NameSignature{.vendorToken = std::nullopt,
                         .canonicalKey = std::move(squeezed),
                         .descriptiveWords = {std::string(name)}};
}

bool isAppleOwned(std::string_view name) {
    const std::string lowered = text::lowercased(withoutPlistSuffix(name));
    const std::vector<std::string> parts = dotParts(lowered);
    if (parts.empty()) return false;
    if (const auto com = std::ranges::find(parts, "com"); com != parts.end())
        if (com + 1 != parts.end() && com[1] == "apple") return true;
    return parts.size() == 1 && text::squeezed(parts.front()) == "apple";
}

std::string summary(const std::vector<OrphanEntry>& entries) {
    std::vector<std::string> words;
    for (const Group group : {Group::application, Group::soundLibrariesAndContent,
                              Group::supportAndContainers, Group::cachesPreferencesAndState}) {
        const bool present =
            std::ranges::any_of(entries, [&](const OrphanEntry& entry) { return entry.group == group; });
        if (const std::optional<std::string_view> word = summaryWord(group); present && word)
            words.emplace_back(*word);
    }
    const std::string joined = text::listJoined(words);
    if (joined.empty()) return std::string(kFallbackSummary);
    return text::uppercasingFirst(joined);
}

OrphanLeftoverGroup makeGuessGroup(const std::vector<std::pair<OrphanEntry, NameSignature>>& bucket) {
    const auto* best = &bucket.front();
    for (const auto& pair : bucket)
        if (pair.second.descriptiveWords.size() > best->second.descriptiveWords.size()) best = &pair;
    const NameSignature& signature = best->second;

    std::string name;
    for (const std::string& word : signature.descriptiveWords)
        name += (name.empty() ? "" : " ") + text::capitalized(word);
    std::vector<OrphanEntry> entries;
    for (const auto& pair : bucket)
        entries.push_back(pair.first);
    std::ranges::stable_sort(entries, std::greater{}, &OrphanEntry::allocatedSize);
    std::string evidence = signature.vendorToken ? *signature.vendorToken + "." + signature.canonicalKey
                                                 : signature.descriptiveWords.front();
    std::string text = summary(entries);
    return {.guessedAppName = std::move(name),
            .evidence = std::move(evidence),
            .summary = std::move(text),
            .entries = std::move(entries)};
}

std::vector<OrphanLeftoverGroup> group(const std::vector<OrphanEntry>& entries) {
    std::vector<OrphanLeftoverGroup> unmatched;
    // Buckets in the order their keys first appeared, so results are reproducible.
    std::vector<std::vector<std::pair<OrphanEntry, NameSignature>>> buckets;
    std::map<std::string, size_t> bucketOfKey;
    for (const OrphanEntry& entry : entries) {
        std::optional<NameSignature> signature = NameSignature::make(entry.name);
        if (!signature) {
            unmatched.push_back(unmatchedGroup(entry));
            continue;
        }
        const auto [slot, isNew] = bucketOfKey.try_emplace(signature->canonicalKey, buckets.size());
        if (isNew) buckets.emplace_back();
        buckets[slot->second].emplace_back(entry, std::move(*signature));
    }
    std::vector<OrphanLeftoverGroup> result;
    for (const auto& bucket : buckets) {
        const bool isGuess = bucket.size() >= 2 || std::ranges::any_of(bucket, [](const auto& pair) {
                                 return pair.second.descriptiveWords.size() >= 2;
                             });
        if (isGuess)
            result.push_back(makeGuessGroup(bucket));
        else
            unmatched.push_back(unmatchedGroup(bucket.front().first));
    }
    result.insert(result.end(), std::make_move_iterator(unmatched.begin()),
                  std::make_move_iterator(unmatched.end()));
    std::ranges::stable_sort(result, std::greater{}, &OrphanLeftoverGroup::totalBytes);
    return result;
}

std::optional<OrphanEntry> makeEntry(const std::string& path, Group group, const ItemSizer& sizer) {
    if (!platform::itemExists(path)) return std::nullopt;
    // A linked entry is stored, tested and sized where it really lies, so that what is shown is
    // what removing the stored path would free; its date stays the link's own.
    const std::string canonical = FileNode::canonicalPath(path);
    const ItemMeasurement measured =
        platform::isDirectoryItem(canonical) ? sizer.sizeDirectory(canonical) : sizer.sizeFile(canonical);
    return OrphanEntry{.name = std::string(lastPathComponent(path)),
                       .path = canonical,
                       .group = group,
                       .allocatedSize = measured.allocatedSize,
                       .cloudOnlyCount = measured.cloudOnlyCount,
                       .lastTouched = platform::itemModificationDate(path)};
}

std::vector<OrphanLeftoverGroup> findGroups(const std::string& home, const std::string& library,
                                            const std::vector<InstalledApp>& installedApps,
                                            const ItemSizer& sizer) {
    std::vector<LeftoverAttributor::AppMatcher> matchers;
    for (const InstalledApp& app : installedApps)
        matchers.emplace_back(app);
    std::vector<std::pair<std::string, Group>> survivors;
    for (auto& [path, group] : LeftoverAttributor::libraryEntries(home, library)) {
        const std::string name(lastPathComponent(path));
        const LeftoverAttributor::LibraryListing::Entry entry = LeftoverAttributor::listedEntry(name);
        const bool claimed = std::ranges::any_of(
            matchers, [&](const auto& matcher) { return matcher.match(entry).has_value(); });
        if (claimed || isAppleOwned(name)) continue;
        survivors.emplace_back(std::move(path), group);
    }

    std::vector<std::optional<OrphanEntry>> sized(survivors.size());
    TaskGroup tasks;
    for (size_t i = 0; i < survivors.size(); ++i)
        tasks.run([&, i] {
            try {
                sized[i] = makeEntry(survivors[i].first, survivors[i].second, sizer);
            } catch (...) {
                // An entry that cannot be examined is left out, as one that vanished.
            }
        });
    tasks.wait();
    std::vector<OrphanEntry> entries;
    for (std::optional<OrphanEntry>& entry : sized)
        if (entry) entries.push_back(std::move(*entry));
    return group(entries);
}

} // namespace quillmere::OrphanLeftoverAttributor
