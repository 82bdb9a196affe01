#include "applications/model/LeftoverMatching.hpp"

#include "applications/model/PackagedData.hpp"
#include "applications/model/TextRules.hpp"
#include "base/PathText.hpp"
#include "base/Unicode.hpp"
#include "platform/FolderListing.hpp"
#include "scan/FileNode.hpp"

#include <algorithm>
#include <sys/stat.h>
#include <unordered_set>

namespace quillmere::LeftoverAttributor {

namespace {

using Group = LeftoverItem::Group;
using Signal = LeftoverItem::MatchSignal;

constexpr size_t kMinimumWordLength = 3;

// Squeezed text of fewer than three characters never matches: kept as empty.
std::string squeezedForMatching(std::string_view text) {
    std::string squeezed = text::squeezed(text);
    if (text::characterCount(squeezed) < kMinimumWordLength) return {};
    return canonicalText(squeezed);
}

std::vector<std::string> developerWords(std::string_view developer) {
    std::vector<std::string> words;
    for (std::string& part : text::alphanumericParts(developer))
        if (text::characterCount(part) >= kMinimumWordLength && !developerStopWords().contains(part))
            words.push_back(canonicalText(part));
    return words;
}

bool containsAny(std::string_view text, const std::vector<std::string>& parts) {
    return std::ranges::any_of(
        parts, [&](const std::string& part) { return text.find(part) != std::string_view::npos; });
}

} // namespace

const std::vector<LibraryFolder>& libraryFolders() {
    static const std::vector<LibraryFolder> folders{
        {"Application Support", Group::supportAndContainers, true},
        {"Caches", Group::cachesPreferencesAndState, true},
        {"Preferences", Group::cachesPreferencesAndState, true},
        {"Saved Application State", Group::cachesPreferencesAndState, false},
        {"Containers", Group::supportAndContainers, false},
        {"Group Containers", Group::supportAndContainers, false},
        {"Logs", Group::cachesPreferencesAndState, true},
        {"WebKit", Group::cachesPreferencesAndState, false},
        {"HTTPStorages", Group::cachesPreferencesAndState, false},
        {"LaunchAgents", Group::supportAndContainers, true},
        {"Cookies", Group::cachesPreferencesAndState, false},
    };
    return folders;
}

std::string BulkContentEntry::path(const std::string& home, const std::string& library) const {
    std::string path = underLibrary ? library : home;
    for (const std::string& component : pathComponents(relativePath))
        path = appendingPathComponent(path, component);
    return path;
}

const std::vector<BulkContentEntry>& bulkContentEntries() {
    static const std::vector<BulkContentEntry> entries{
        {"Logic instrument libraries",
         Group::soundLibrariesAndContent,
         Signal::name,
         true,
         "Application Support/Logic",
         {"logic pro"}},
        {"GarageBand content",
         Group::soundLibrariesAndContent,
         Signal::developer,
         true,
         "Application Support/GarageBand",
         {"logic pro", "garageband"}},
        {"Audio Music Apps",
         Group::supportAndContainers,
         Signal::name,
         false,
         "Music/Audio Music Apps",
         {"logic pro"}},
    };
    return entries;
}

const std::set<std::string_view>& developerStopWords() {
    static const std::set<std::string_view> words{"inc",     "llc",  "ltd", "corp", "corporation", "co",
                                                  "company", "gmbh", "srl", "sa",   "limited",     "the"};
    return words;
}

LibraryListing::Entry listedEntry(std::string name) {
    LibraryListing::Entry entry{.lowered = canonicalText(text::lowercased(name)),
                                .squeezed = squeezedForMatching(name)};
    entry.name = std::move(name);
    return entry;
}

AppMatcher::AppMatcher(const InstalledApp& app) : squeezedName_(squeezedForMatching(app.name)) {
    if (app.bundleIdentifier) identifier_ = canonicalText(text::lowercased(*app.bundleIdentifier));
    if (app.developer) developerWords_ = developerWords(*app.developer);
}

std::optional<Signal> AppMatcher::match(const LibraryListing::Entry& entry) const {
    const std::string& n = entry.lowered;
    if (identifier_) {
        const std::string& b = *identifier_;
        const bool isPlist = n.size() == b.size() + 6 && n.starts_with(b) && n.ends_with(".plist");
        if (n == b || isPlist) return Signal::bundleIdentifier;
        if (n.size() > b.size() && n.starts_with(b) && n[b.size()] == '.')
            return Signal::bundleIdentifierPrefix;
    }
    if (containsAny(n, developerWords_)) return Signal::developer;
    if (!squeezedName_.empty() && !entry.squeezed.empty() &&
        (entry.squeezed.find(squeezedName_) != std::string::npos ||
         squeezedName_.find(entry.squeezed) != std::string::npos))
        return Signal::name;
    return std::nullopt;
}

std::optional<Signal> matchSignal(std::string_view name, const InstalledApp& app) {
    return AppMatcher(app).match(listedEntry(std::string(name)));
}

std::vector<LeftoverCandidate> matchEntries(const std::string& folder, Group group, const InstalledApp& app) {
    std::vector<LeftoverCandidate> found;
    const std::optional<std::vector<std::string>> names = platform::listFolderNames(folder);
    if (!names) return found;
    const AppMatcher matcher(app);
    for (const std::string& name : *names)
        if (const std::optional<Signal> signal = matcher.match(listedEntry(name)))
            found.push_back({name, appendingPathComponent(folder, name), group, *signal});
    return found;
}

std::vector<LeftoverCandidate> removeNested(std::vector<LeftoverCandidate> candidates) {
    std::vector<std::pair<std::vector<std::string>, LeftoverCandidate>> ordered;
    for (LeftoverCandidate& candidate : candidates)
        ordered.emplace_back(pathComponents(FileNode::canonicalPath(candidate.path)), std::move(candidate));
    std::ranges::stable_sort(ordered, {}, [](const auto& pair) { return pair.first.size(); });
    std::vector<std::vector<std::string>> survivors;
    std::vector<LeftoverCandidate> result;
    for (auto& [components, candidate] : ordered) {
        const bool nested = std::ranges::any_of(survivors, [&](const std::vector<std::string>& survivor) {
            return survivor.size() < components.size() && isComponentPrefix(survivor, components);
        });
        if (nested) continue;
        survivors.push_back(std::move(components));
        result.push_back(std::move(candidate));
    }
    return result;
}

LibraryListing::LibraryListing(const std::string& home, const std::string& library)
    : home_(home), library_(library) {
    const std::string userLibrary = appendingPathComponent(home, "Library");
    const auto add = [&](const std::string& path, Group group) {
        Folder folder{.path = path, .group = group};
        if (const std::optional<std::vector<std::string>> names = platform::listFolderNames(path))
            for (const std::string& name : *names)
                folder.entries.push_back(listedEntry(name));
        folders_.push_back(std::move(folder));
    };
    for (const LibraryFolder& row : libraryFolders()) {
        add(appendingPathComponent(userLibrary, row.name), row.group);
        if (row.alsoComputerWide) add(appendingPathComponent(library, row.name), row.group);
    }
}

std::string LibraryListing::canonicalPath(const std::string& path) const {
    const std::string_view name = lastPathComponent(path);
    struct stat info {};
    // An item that is no link lies where its folder really lies; anything else resolves in full.
    if (name.empty() || name == "." || name == ".." || !path.starts_with('/') ||
        ::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode))
        return FileNode::canonicalPath(path);
    const std::string folder = deletingLastPathComponent(path);
    auto found = canonicalFolders_.find(folder);
    if (found == canonicalFolders_.end())
        found = canonicalFolders_.emplace(folder, FileNode::canonicalPath(folder)).first;
    return appendingPathComponent(found->second, name);
}

std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                          const std::string& library) {
    return candidates(app, LibraryListing(home, library));
}

std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const LibraryListing& listing) {
    const std::string appKey = listing.canonicalPath(app.path);
    const std::string lowerName = text::lowercased(app.name);
    std::unordered_set<std::string> seen;
    std::vector<LeftoverCandidate> found;
    // The same place reached twice (two rows, or a link to another candidate) is listed once.
    const auto passes = [&](const std::string& listedPath, std::string& key) {
        key = listing.canonicalPath(listedPath);
        return key != appKey && platform::itemExists(listedPath) && seen.insert(key).second;
    };
    for (const BulkContentEntry& row : bulkContentEntries()) {
        if (!row.familyAppNames.contains(lowerName)) continue;
        std::string key;
        if (passes(row.path(listing.home(), listing.library()), key))
            found.push_back({std::string(row.itemName), key, row.group, row.matchSignal});
    }
    const AppMatcher matcher(app);
    for (const LibraryListing::Folder& folder : listing.folders())
        for (const LibraryListing::Entry& entry : folder.entries) {
            const std::optional<Signal> signal = matcher.match(entry);
            if (!signal) continue;
            std::string key;
            if (passes(appendingPathComponent(folder.path, entry.name), key))
                found.push_back({entry.name, key, folder.group, *signal});
        }
    for (LeftoverCandidate& candidate : packaged_data::dataCandidates(app, listing.home())) {
        std::string key;
        if (!passes(candidate.path, key)) continue;
        candidate.path = std::move(key);
        found.push_back(std::move(candidate));
    }
    return removeNested(std::move(found));
}

std::vector<std::pair<std::string, Group>> libraryEntries(const std::string& home,
                                                          const std::string& library) {
    std::vector<std::pair<std::string, Group>> entries;
    const LibraryListing listing(home, library);
    for (const LibraryListing::Folder& folder : listing.folders())
        for (const LibraryListing::Entry& entry : folder.entries)
            entries.emplace_back(appendingPathComponent(folder.path, entry.name), folder.group);
    return entries;
}

bool isClaimed(std::string_view name, const std::vector<InstalledApp>& installedApps) {
    const LibraryListing::Entry entry = listedEntry(std::string(name));
    return std::ranges::any_of(
        installedApps, [&](const InstalledApp& app) { return AppMatcher(app).match(entry).has_value(); });
}

} // namespace quillmere::LeftoverAttributor
