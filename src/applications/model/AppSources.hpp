#pragma once

#include "applications/model/ApplicationRoots.hpp"
#include "applications/model/FlatpakApps.hpp"
#include "applications/model/SnapApps.hpp"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillmere {

// Where one installed application is read from: a bundle's path, a Flatpak deployment or a
// mounted snap.
using AppSource = std::variant<std::string, flatpak::Deployment, snap::Mount>;

// Everything the inventory reads, in this order: the bundles of `bundleFolders`, the system
// Flatpak installation's applications, the user's, then the snaps.
std::vector<AppSource> appSources(const std::vector<std::string>& bundleFolders,
                                  const ApplicationRoots& roots);

// Whether an application of `packaging` with that identifier is installed in any of the
// roots' installations (a snap of any kind counts).
bool isInstalledAnywhere(const ApplicationRoots& roots, InstalledApp::Packaging packaging,
                         std::string_view identifier);

} // namespace quillmere
