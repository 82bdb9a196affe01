#pragma once

// Sample targets and outcomes for every case of the confirmation sheet, shared by its render
// tests and the tool that pictures it.

#include "reclaim/ReclaimTarget.hpp"
#include "reclaim/SheetTestSupport.hpp"
#include "scan/TreeBuilders.hpp"
#include "systemdata/Reclaimer.hpp"

#include <string>
#include <utility>
#include <vector>

namespace quillmere::samples {

inline FileNode leaf(const std::string& path, const std::string& name, int64_t size) {
    return testing::file(path + "/" + name, size);
}

inline FileNode projectsFolder() {
    const std::string path = "/home/ann/Projects";
    return FileNode(
        "Projects", path, true, false, 7'340'000'000, false, false, 2, false, 214, 18'306, 0, std::nullopt,
        {leaf(path, "render-cache.bin", 4'100'000'000), leaf(path, "footage.mkv", 2'200'000'000),
         leaf(path, "a-very-long-name-of-an-export-that-goes-on-and-on-and-on-final-v7.tar.zst", 900'000'000),
         leaf(path, "notes.txt", 4096)});
}

inline SystemDataCategory sampleCategory(const std::string& id, const std::string& name, int64_t size,
                                         std::optional<SystemDataReclaimAction> action,
                                         const std::string& explanation) {
    SystemDataCategory c = testing::category(id, name, size, std::move(action));
    c.explanation = explanation;
    return c;
}

inline SystemDataCategory backups() {
    return sampleCategory(
        "time-machine-local-backups", "Timeshift local backups", 12'000'000'000,
        SystemDataReclaimAction::wholeItems(
            {{"/timeshift/snapshots/2026-12-01", "Timeshift backup \u2014 2026-12-01", 7'000'000'000},
             {"/timeshift/snapshots/2026-12-08", "Timeshift backup \u2014 2026-12-08", 5'000'000'000}}),
        "2 local Timeshift backups found in /timeshift/snapshots.");
}

inline SystemDataCategory userCaches() {
    return sampleCategory(
        "user-caches", "User caches", 4'000'000'000,
        SystemDataReclaimAction::directoryContents("/home/ann/.cache"),
        "Things apps keep under ~/.cache so they don't re-download or re-compute. Safe to remove; "
        "apps refill what they actually need.");
}

inline LeftoverItem item(const std::string& name, const std::string& path, LeftoverItem::Group group,
                         int64_t size, std::optional<std::string> sharedWith = std::nullopt) {
    return testing::leftover(name, path, group, size, std::move(sharedWith));
}

inline InstalledApp tide() {
    return testing::app("Tide", "/opt/Tide.app", 420'000'000);
}

inline ReclaimTarget uninstall() {
    using G = LeftoverItem::Group;
    LeftoverAttribution attribution{
        tide(),
        {item("Tide.app", "/opt/Tide.app", G::application, 420'000'000),
         item("Tide Loops", "/home/ann/.local/share/Tide/Loops", G::soundLibrariesAndContent, 1'800'000'000),
         item("Shared Samples", "/home/ann/.local/share/Samples", G::soundLibrariesAndContent, 600'000'000,
              "Wave"),
         item("Tide", "/home/ann/.config/Tide", G::supportAndContainers, 12'000'000),
         item("tide", "/home/ann/.cache/tide", G::cachesPreferencesAndState, 230'000'000),
         item("tide.conf", "/home/ann/.config/tide.conf", G::cachesPreferencesAndState, 4096),
         item("Studio Presets", "/home/ann/.local/share/Presets", G::supportAndContainers, 30'000'000,
              "Wave")},
        0.2};
    return ReclaimTarget::appUninstall(tide(), attribution,
                                       {"/opt/Tide.app", "/home/ann/.local/share/Tide/Loops",
                                        "/home/ann/.local/share/Samples", "/home/ann/.config/Tide",
                                        "/home/ann/.cache/tide"});
}

inline ReclaimTarget caches() {
    using G = LeftoverItem::Group;
    return ReclaimTarget::appCaches(
        tide(),
        {item("tide", "/home/ann/.cache/tide", G::cachesPreferencesAndState, 230'000'000),
         item("shader-cache", "/home/ann/.cache/tide-shaders", G::cachesPreferencesAndState, 88'000'000)});
}

inline OrphanLeftoverGroup orphanGroup(int entries) {
    OrphanLeftoverGroup group;
    group.guessedAppName = "Lumen";
    group.evidence = "com.lumen.editor";
    for (int i = 0; i < entries; ++i) {
        const std::string name = "lumen-" + std::to_string(i + 1);
        group.entries.push_back(
            testing::orphan(name, "/home/ann/.local/share/" + name, int64_t(1'000'000) * (i % 7 + 1)));
    }
    return group;
}

inline ReclaimTarget orphans(int entries, int ticked) {
    OrphanLeftoverGroup group = orphanGroup(entries);
    std::set<std::string> paths;
    for (int i = 0; i < ticked; ++i)
        paths.insert(group.entries[i].path);
    return ReclaimTarget::orphanGroup(group, paths);
}

// Every target case under a short name.
inline std::vector<std::pair<std::string, ReclaimTarget>> targets() {
    return {{"node", ReclaimTarget::node(projectsFolder())},
            {"one-category", ReclaimTarget::systemData({backups()})},
            {"all-safe", ReclaimTarget::systemData({backups(), userCaches()})},
            {"uninstall", uninstall()},
            {"caches", caches()},
            {"orphans", orphans(5, 3)},
            {"forty-rows", orphans(40, 40)}};
}

inline Reclaimer::Outcome success(int64_t promised) {
    Reclaimer::Outcome outcome;
    outcome.promisedBytes = promised;
    outcome.measuredFreedBytes = promised;
    return outcome;
}

inline Reclaimer::Outcome longFailure(int lines) {
    Reclaimer::Outcome outcome;
    outcome.promisedBytes = 7'340'000'000;
    outcome.measuredFreedBytes = 12'000;
    for (int i = 0; i < lines; ++i)
        outcome.failures.push_back(
            {leaf("/home/ann/Projects", "item-" + std::to_string(i + 1), 1),
             i == 0 ? std::string(kProtectedReason) : "the Trash refused this item because it is in use"});
    outcome.systemDataFailures.push_back(
        {SystemDataReclaimEntry{"user-caches", "User caches", 1,
                                SystemDataReclaimAction::directoryContents("/home/ann/.cache")},
         "the folder could not be read"});
    return outcome;
}

} // namespace quillmere::samples
