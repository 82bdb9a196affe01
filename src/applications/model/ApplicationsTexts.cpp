#include "applications/model/ApplicationsTexts.hpp"

#include "base/Format.hpp"

#include <algorithm>

namespace quillmere::texts {

std::string noMatch(std::string_view searchText) {
    return "No applications match “" + std::string(searchText) + ".”";
}

std::string orphanSectionTail(int64_t totalBytes, int64_t placeCount) {
    return "  —  " + formatByteCount(std::max<int64_t>(totalBytes, 0)) + " in " + std::to_string(placeCount) +
           " place" + plural(placeCount) +
           " whose app is gone. Quillmere is guessing; nothing is ticked by default.";
}

std::string itemCount(int64_t count) {
    return std::to_string(count) + " item" + plural(count);
}

std::string placeCount(int64_t count) {
    return "in " + std::to_string(count) + " place" + plural(count);
}

std::string removingCount(int64_t ticked, int64_t total) {
    return "Removing " + std::to_string(ticked) + " of " + std::to_string(total) + " items";
}

std::string uninstallButton(std::string_view appName) {
    return "Uninstall " + std::string(appName) + "…";
}

std::string clearCachesButton(int64_t cacheBytes) {
    return "Clear " + formatByteCount(std::max<int64_t>(cacheBytes, 0)) + " of caches…";
}

std::string sharedLocation(std::string_view otherAppName) {
    return "shared with " + std::string(otherAppName) + " — kept";
}

std::string notInstalledLine(int64_t entryCount) {
    return "Not installed · " + std::to_string(entryCount) + " folder" + plural(entryCount) + " left behind";
}

std::string selectedCount(int64_t count) {
    return std::to_string(count) + " selected";
}

std::string versionAndDeveloper(const std::string* version, const std::string* developer) {
    std::string line;
    if (version) line = "Version " + *version;
    if (developer) line += (line.empty() ? "" : " · ") + *developer;
    return line;
}

std::string removalCommand(const InstalledApp& app) {
    const std::string identifier = app.bundleIdentifier.value_or(app.name);
    return (app.packaging == InstalledApp::Packaging::snap ? "snap remove " : "flatpak uninstall ") +
           identifier;
}

} // namespace quillmere::texts
