#include "applications/model/ApplicationRoots.hpp"

#include "base/PathText.hpp"
#include "platform/HostSystem.hpp"

#include <cstdlib>

namespace quillmere {

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

ApplicationRoots ApplicationRoots::current() {
    ApplicationRoots roots{.home = platform::homeDirectory()};
    const char* override = std::getenv("QUILLMERE_SYSTEM_ROOT");
    if (override && override[0] == '/') roots.systemRoot = fileURLPath(override);
    return roots;
}

} // namespace quillmere
