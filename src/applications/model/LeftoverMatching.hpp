#pragma once

#include "applications/model/ApplicationRecords.hpp"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillmere::LeftoverAttributor {

// Which files and folders outside a bundle belong to its application: the Library folders
// searched, the rules that match one entry name to one application, and the candidates of an
// application with duplicates and nested paths removed. Reads names and existence only.

struct LibraryFolder {
    std::string_view name;
    LeftoverItem::Group group;
    // Whether the computer-wide Library's folder of that name is searched too.
    bool alsoComputerWide;
};
const std::vector<LibraryFolder>& libraryFolders();

// Sound content that a small family of audio applications installs outside their Library folders.
struct BulkContentEntry {
    std::string_view itemName;
    LeftoverItem::Group group;
    LeftoverItem::MatchSignal matchSignal;
    // Relative to the computer-wide Library when true, else to the home folder.
    bool underLibrary;
    std::string_view relativePath;
    // Lower-case application names the row belongs to.
    std::set<std::string_view> familyAppNames;

    std::string path(const std::string& home, const std::string& library) const;
};
const std::vector<BulkContentEntry>& bulkContentEntries();

// Words that never count as words of a developer's name.
const std::set<std::string_view>& developerStopWords();

// The first rule by which the entry `name` belongs to `app`, none when no rule holds.
std::optional<LeftoverItem::MatchSignal> matchSignal(std::string_view name, const InstalledApp& app);

// The matching entries of one folder, in listing order, with their paths as listed.
std::vector<LeftoverCandidate> matchEntries(const std::string& folder, LeftoverItem::Group group,
                                            const InstalledApp& app);
// Candidates nested inside another candidate removed; fewest path components first.
std::vector<LeftoverCandidate> removeNested(std::vector<LeftoverCandidate> candidates);

// The Library folders of one home and one computer-wide Library, each listed once: matching
// many applications against one listing gives each the candidates `candidates` would.
class LibraryListing {
public:
    LibraryListing(const std::string& home, const std::string& library);

    struct Entry {
        std::string name;
        // Lower case, canonical form.
        std::string lowered;
        // Squeezed, canonical form; empty when shorter than three characters.
        std::string squeezed;
    };
    struct Folder {
        std::string path;
        LeftoverItem::Group group;
        std::vector<Entry> entries;
    };
    // In table order: each row's folder in the home Library, then, where the row says so, in
    // the computer-wide Library. A folder that cannot be listed has no entries.
    const std::vector<Folder>& folders() const { return folders_; }
    const std::string& home() const { return home_; }
    const std::string& library() const { return library_; }

    // The canonical path of `path`, as `FileNode::canonicalPath` gives it; the folders resolved
    // on the way are remembered for the life of this listing, so matching many applications
    // resolves each folder once. Not for use from several threads at once.
    std::string canonicalPath(const std::string& path) const;

private:
    std::string home_;
    std::string library_;
    std::vector<Folder> folders_;
    mutable std::unordered_map<std::string, std::string> canonicalFolders_;
};

// The names an entry is matched by, worked out once for any number of applications.
LibraryListing::Entry listedEntry(std::string name);

// The matching rules of one application, prepared once for any number of entries.
class AppMatcher {
public:
    explicit AppMatcher(const InstalledApp& app);
    std::optional<LeftoverItem::MatchSignal> match(const LibraryListing::Entry& entry) const;

private:
    std::optional<std::string> identifier_;
    std::vector<std::string> developerWords_;
    std::string squeezedName_;
};

// The candidate leftovers of `app`, with canonical paths, never the bundle itself: what the
// Library folders hold for it, then what its package system keeps in the home folder.
std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const std::string& home,
                                          const std::string& library);
std::vector<LeftoverCandidate> candidates(const InstalledApp& app, const LibraryListing& listing);

// Every entry of the Library folders, with the group of its folder, for the orphan finder.
std::vector<std::pair<std::string, LeftoverItem::Group>> libraryEntries(const std::string& home,
                                                                        const std::string& library);
// Whether any of `installedApps` matches the entry name `name`.
bool isClaimed(std::string_view name, const std::vector<InstalledApp>& installedApps);

} // namespace quillmere::LeftoverAttributor
