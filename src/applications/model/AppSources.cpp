#include "applications/model/AppSources.hpp"

#include "applications/model/InstalledApps.hpp"

namespace quillmere {

std::vector<AppSource> appSources(const std::vector<std::string>& bundleFolders,
                                  const ApplicationRoots& roots) {
    std::vector<AppSource> sources;
    for (std::string& bundle : bundlePaths(bundleFolders))
        sources.emplace_back(std::move(bundle));
    for (const std::string* installation :
         {&roots.flatpakSystemInstallation, &roots.flatpakUserInstallation}) {
        // One installation named twice (both variables set alike) is read once.
        if (installation == &roots.flatpakUserInstallation &&
            *installation == roots.flatpakSystemInstallation)
            continue;
        for (flatpak::Deployment& deployment : flatpak::listApplications(*installation))
            sources.emplace_back(std::move(deployment));
    }
    for (snap::Mount& mount : snap::listMounts(roots.snapMounts))
        sources.emplace_back(std::move(mount));
    return sources;
}

bool isInstalledAnywhere(const ApplicationRoots& roots, InstalledApp::Packaging packaging,
                         std::string_view identifier) {
    switch (packaging) {
    case InstalledApp::Packaging::bundle:
        return false;
    case InstalledApp::Packaging::flatpak:
        return flatpak::isInstalled(roots.flatpakSystemInstallation, identifier) ||
               flatpak::isInstalled(roots.flatpakUserInstallation, identifier);
    case InstalledApp::Packaging::snap:
        return snap::isInstalled(roots.snapMounts, identifier);
    }
    return false;
}

} // namespace quillmere
