#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// One installed application as discovery read it: a bundle, or an application that a Linux
// package system installed and keeps records of.
struct InstalledApp {
    // What installed it. Package systems remove their own applications: those are never moved
    // to the Trash from here, only their caches and data in the home folder.
    enum class Packaging { bundle, flatpak, snap };

    std::string name;
    std::optional<std::string> version;
    // The bundle's identifier; a Flatpak application's ID; a snap's instance name.
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> developer;
    // As the bundle (or the package's folder) was listed, not canonicalised: the key under which
    // its attribution is kept.
    std::string path;
    // At or under a protected system location: never offered for removal.
    bool isProtected = false;
    int64_t allocatedSize = 0;
    Packaging packaging = Packaging::bundle;
    // The icon file the package system exported for it; none for a bundle, whose own
    // information names its icon.
    std::optional<std::string> iconPath;

    bool operator==(const InstalledApp&) const = default;

    bool isPackaged() const { return packaging != Packaging::bundle; }
};

// One item on disk that belongs to an application: its bundle or one of its leftovers.
struct LeftoverItem {
    // Declared in display order: the order is what `displayOrder` ranks groups by.
    enum class Group {
        application,
        soundLibrariesAndContent,
        supportAndContainers,
        cachesPreferencesAndState
    };
    enum class MatchSignal { bundleIdentifier, bundleIdentifierPrefix, developer, name };

    std::string name;
    // Canonical path.
    std::string path;
    Group group = Group::application;
    MatchSignal matchSignal = MatchSignal::name;
    int64_t allocatedSize = 0;
    int64_t cloudOnlyCount = 0;
    // Another installed application that also claims this path, so removing it would hurt that one.
    std::optional<std::string> sharedWithAppName;

    bool operator==(const LeftoverItem&) const = default;

    // The group's section title; `groupFromRawValue` accepts exactly these texts.
    static std::string_view rawValue(Group group);
    static std::optional<Group> groupFromRawValue(std::string_view rawValue);

    // Whether `a` is shown before `b`: group first, then larger first, then by name as the
    // platform's file browser orders names. A strict weak order, for stable sorts.
    static bool displayOrder(const LeftoverItem& a, const LeftoverItem& b);
};

// A leftover found for an application before it is sized.
struct LeftoverCandidate {
    std::string name;
    std::string path;
    LeftoverItem::Group group = LeftoverItem::Group::supportAndContainers;
    LeftoverItem::MatchSignal matchSignal = LeftoverItem::MatchSignal::name;

    bool operator==(const LeftoverCandidate&) const = default;
};

// An application with everything it has on disk: the bundle item first, then its leftovers.
struct LeftoverAttribution {
    InstalledApp app;
    std::vector<LeftoverItem> items;
    double elapsedSeconds = 0;

    bool operator==(const LeftoverAttribution&) const = default;

    // The items of `group`, in their stored order.
    std::vector<LeftoverItem> itemsIn(LeftoverItem::Group group) const;
};

// One Library entry that no installed application claims.
struct OrphanEntry {
    std::string name;
    // Canonical path.
    std::string path;
    LeftoverItem::Group group = LeftoverItem::Group::supportAndContainers;
    int64_t allocatedSize = 0;
    int64_t cloudOnlyCount = 0;
    // Seconds since 1970; none when the date cannot be read.
    std::optional<double> lastTouched;

    bool operator==(const OrphanEntry&) const = default;
};

// Orphaned entries ascribed to one vanished application, or one unmatched entry.
struct OrphanLeftoverGroup {
    std::optional<std::string> guessedAppName;
    std::string evidence;
    std::string summary;
    std::vector<OrphanEntry> entries;

    bool operator==(const OrphanLeftoverGroup&) const = default;

    // The guessed name (or "unmatched"), ":", and the first entry's path; the list selection
    // holds it, so it changes when the first entry goes.
    std::string id() const;
    // The latest `lastTouched` of the entries; none when no entry has one.
    std::optional<double> latestTouch() const;
    // The sum of the entries' allocated bytes.
    int64_t totalBytes() const;
};

} // namespace quillmere
