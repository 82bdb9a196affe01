#include "applications/model/ApplicationRoots.hpp"

#include "base/PathText.hpp"
#include "platform/HostSystem.hpp"

#include <cstdlib>

namespace quillmere {

namespace {

// An absolute path from the environment, none for an unset, empty or relative value.
std::optional<std::string> absolutePath(const platform::EnvironmentReader& environment, const char* name) {
    std::optional<std::string> value = environment(name);
    if (!value || !value->starts_with('/')) return std::nullopt;
    return fileURLPath(*value);
}

} // namespace

std::string ApplicationRoots::underSystemRoot(std::string_view relative) const {
    std::string path = systemRoot;
    for (const std::string& component : pathComponents(relative))
        path = appendingPathComponent(path, component);
    return path;
}

std::string ApplicationRoots::library() const {
    return underSystemRoot("Library");
}

std::vector<std::string> ApplicationRoots::applicationFolders(const std::string& homeFolder) const {
    return {underSystemRoot("Applications"), underSystemRoot("Applications/Utilities"),
            underSystemRoot("System/Applications"), underSystemRoot("System/Applications/Utilities"),
            appendingPathComponent(homeFolder, "Applications")};
}

ApplicationRoots ApplicationRoots::onDisk(std::string systemRoot, std::string home,
                                          const platform::EnvironmentReader& environment) {
    ApplicationRoots roots{.systemRoot = std::move(systemRoot), .home = std::move(home)};
    roots.flatpakSystemInstallation =
        absolutePath(environment, "FLATPAK_SYSTEM_DIR").value_or(roots.underSystemRoot("var/lib/flatpak"));
    roots.flatpakUserInstallation =
        absolutePath(environment, "FLATPAK_USER_DIR")
            .value_or(appendingPathComponent(platform::dataHome(roots.home, environment), "flatpak"));
    roots.snapMounts = roots.underSystemRoot("snap");
    roots.snapPackages = roots.underSystemRoot("var/lib/snapd/snaps");
    return roots;
}

ApplicationRoots ApplicationRoots::current() {
    std::string systemRoot = "/";
    const char* override = std::getenv("QUILLMERE_SYSTEM_ROOT");
    if (override && override[0] == '/') systemRoot = fileURLPath(override);
    return onDisk(std::move(systemRoot), platform::homeDirectory());
}

} // namespace quillmere
