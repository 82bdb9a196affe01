#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "scan/FileNode.hpp"
#include "systemdata/SystemDataReport.hpp"

#include <set>
#include <string>
#include <variant>
#include <vector>

namespace quillmere {

// What one removal acts on. Ticked paths compare byte for byte: two spellings of one name are
// two different files here.
struct ReclaimTarget {
    // A file or folder chosen in the disk views.
    struct Node {
        FileNode node;
    };
    // One System Data category, or every reclaimable one.
    struct SystemData {
        std::vector<SystemDataCategory> categories;
    };
    // An application with the leftovers the user ticked.
    struct AppUninstall {
        InstalledApp app;
        LeftoverAttribution attribution;
        std::set<std::string> tickedPaths;
    };
    // Some of an application's caches; the application stays.
    struct AppCaches {
        InstalledApp app;
        std::vector<LeftoverItem> items;
    };
    // Some of the caches and data that an application a package system installed keeps in the
    // home folder; the application stays (its package system removes it).
    struct AppItems {
        InstalledApp app;
        std::vector<LeftoverItem> items;
    };
    // The ticked entries of a group of leftovers whose application is gone.
    struct OrphanGroup {
        OrphanLeftoverGroup group;
        std::set<std::string> tickedPaths;
    };

    std::variant<Node, SystemData, AppUninstall, AppCaches, AppItems, OrphanGroup> value;

    static ReclaimTarget node(FileNode node) { return {Node{std::move(node)}}; }
    static ReclaimTarget systemData(std::vector<SystemDataCategory> categories) {
        return {SystemData{std::move(categories)}};
    }
    static ReclaimTarget appUninstall(InstalledApp app, LeftoverAttribution attribution,
                                      std::set<std::string> tickedPaths) {
        return {AppUninstall{std::move(app), std::move(attribution), std::move(tickedPaths)}};
    }
    static ReclaimTarget appCaches(InstalledApp app, std::vector<LeftoverItem> items) {
        return {AppCaches{std::move(app), std::move(items)}};
    }
    static ReclaimTarget appItems(InstalledApp app, std::vector<LeftoverItem> items) {
        return {AppItems{std::move(app), std::move(items)}};
    }
    static ReclaimTarget orphanGroup(OrphanLeftoverGroup group, std::set<std::string> tickedPaths) {
        return {OrphanGroup{std::move(group), std::move(tickedPaths)}};
    }

    bool isNode() const { return std::holds_alternative<Node>(value); }
};

} // namespace quillmere
