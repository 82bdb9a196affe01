#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ItemSizer.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::flatpak {

// Applications deployed in one Flatpak installation: "app/<id>" folders whose default branch
// ("current", a link to "<arch>/<branch>") has an active deployment ("active", a link to a
// checkout holding "metadata", "files" and "export"). Runtimes ("runtime/") are never read.

struct Deployment {
    std::string identifier;
    // "<installation>/app/<id>": what the application occupies, all branches included.
    std::string appFolder;
    // The active checkout of the default branch, else of the first branch found that has one.
    std::string checkout;

    bool operator==(const Deployment&) const = default;
};

// In listing order. A folder without an active checkout holding "metadata" is not an installed
// application, nor is one whose metadata declares a runtime and no application.
std::vector<Deployment> listApplications(const std::string& installation);
// Whether `identifier` has an active deployment in the installation.
bool isInstalled(const std::string& installation, std::string_view identifier);

// The record of one application. Never fails: without a readable desktop entry the name is
// the identifier's last part; without readable metainfo there is no version or developer.
InstalledApp readApplication(const Deployment& deployment, const ItemSizer& sizer,
                             std::shared_ptr<ScanCancellation> cancellation = nullptr);

// The largest icon named `iconName` in a "hicolor" theme folder, PNG or SVG; a scalable one
// counts as the largest. None when there is none.
std::optional<std::string> largestIcon(const std::string& hicolorFolder, std::string_view iconName);

} // namespace quillmere::flatpak
