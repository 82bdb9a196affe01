#include "applications/model/SnapApps.hpp"

#include "applications/model/TextRules.hpp"
#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <unistd.h>

namespace quillmere::snap {

namespace {

std::optional<std::string> linkTarget(const std::string& path) {
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return std::nullopt;
    return std::string(buffer.data(), static_cast<size_t>(length));
}

bool isValidInstance(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// The base snaps and snapd by name: "core", "core18" and later, "bare", "snapd".
bool isBaseName(std::string_view name) {
    const std::string_view snapName = name.substr(0, name.find('_'));
    if (snapName == "snapd" || snapName == "bare") return true;
    if (!snapName.starts_with("core")) return false;
    return std::ranges::all_of(snapName.substr(4), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> nonEmpty(const std::optional<SnapYaml>& description, std::string_view key) {
    if (!description) return std::nullopt;
    const auto found = description->find(key);
    if (found == description->end()) return std::nullopt;
    std::string value = text::trimmedWhitespaceAndNewlines(found->second);
    if (value.empty()) return std::nullopt;
    return value;
}

} // namespace

std::vector<Mount> listMounts(const std::string& mounts) {
    std::vector<Mount> found;
    if (mounts.empty()) return found;
    const auto names = platform::listFolderNames(mounts);
    if (!names) return found;
    for (const std::string& name : *names) {
        if (!isValidInstance(name)) continue;
        const std::string folder = appendingPathComponent(mounts, name);
        const std::string current = appendingPathComponent(folder, "current");
        if (!platform::isDirectoryItem(folder) || !platform::itemExists(current)) continue;
        const std::optional<std::string> target = linkTarget(current);
        if (!target) continue;
        found.push_back({name, folder, std::string(lastPathComponent(*target))});
    }
    return found;
}

bool isInstalled(const std::string& mounts, std::string_view instance) {
    if (mounts.empty() || !isValidInstance(instance)) return false;
    return platform::itemExists(
        appendingPathComponent(appendingPathComponent(mounts, std::string(instance)), "current"));
}

bool isApplication(std::string_view instance, const std::optional<SnapYaml>& description) {
    if (isBaseName(instance)) return false;
    const std::optional<std::string> type = nonEmpty(description, "type");
    return !type || *type == "app";
}

std::optional<InstalledApp> readApplication(const Mount& mount, const std::string& packages,
                                            const ItemSizer& sizer) {
    const std::string meta = appendingPathComponent(mount.folder, "current/meta");
    std::optional<SnapYaml> description;
    if (auto read = readSnapYaml(appendingPathComponent(meta, "snap.yaml"))) description = std::move(*read);
    if (!isApplication(mount.instance, description)) return std::nullopt;

    InstalledApp app;
    app.name =
        nonEmpty(description, "title").value_or(nonEmpty(description, "name").value_or(mount.instance));
    app.version = nonEmpty(description, "version");
    app.bundleIdentifier = mount.instance;
    app.developer = nonEmpty(description, "publisher");
    app.path = mount.folder;
    app.isProtected = false;
    if (!packages.empty() && !mount.revision.empty())
        app.allocatedSize =
            sizer.sizeFile(appendingPathComponent(packages, mount.instance + "_" + mount.revision + ".snap"))
                .allocatedSize;
    app.packaging = InstalledApp::Packaging::snap;
    for (const char* icon : {"gui/icon.svg", "gui/icon.png"})
        if (const std::string path = meta + "/" + icon; platform::itemExists(path)) {
            app.iconPath = path;
            break;
        }
    return app;
}

} // namespace quillmere::snap
