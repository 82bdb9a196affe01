#include "applications/model/FlatpakApps.hpp"

#include "applications/model/KeyFile.hpp"
#include "applications/model/MetaInfo.hpp"
#include "applications/model/TextRules.hpp"
#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"

#include <charconv>
#include <limits>

namespace quillmere::flatpak {

namespace {

// Architectures and branches are few; a folder holding more is not Flatpak's.
constexpr size_t kMaxBranchEntries = 64;

std::string joined(std::string path, std::string_view relative) {
    for (const std::string& component : pathComponents(relative))
        path = appendingPathComponent(path, component);
    return path;
}

bool hasMetadata(const std::string& checkout) {
    return platform::itemExists(appendingPathComponent(checkout, "metadata"));
}

// The checkout of the default branch; failing that, the first "<arch>/<branch>" with one.
std::optional<std::string> activeCheckout(const std::string& appFolder) {
    const std::string current = joined(appFolder, "current/active");
    if (hasMetadata(current)) return current;
    const auto arches = platform::listFolderNames(appFolder);
    if (!arches) return std::nullopt;
    for (size_t a = 0; a < arches->size() && a < kMaxBranchEntries; ++a) {
        const std::string arch = appendingPathComponent(appFolder, (*arches)[a]);
        if ((*arches)[a] == "current" || !platform::isDirectoryItem(arch)) continue;
        const auto branches = platform::listFolderNames(arch);
        if (!branches) continue;
        for (size_t b = 0; b < branches->size() && b < kMaxBranchEntries; ++b) {
            const std::string checkout = joined(appendingPathComponent(arch, (*branches)[b]), "active");
            if (hasMetadata(checkout)) return checkout;
        }
    }
    return std::nullopt;
}

// A checkout whose metadata can be read and names only a runtime is no application; metadata
// that cannot be read leaves the application listed.
bool declaresRuntimeOnly(const std::string& checkout) {
    const auto metadata = readKeyFile(appendingPathComponent(checkout, "metadata"));
    return metadata && metadata->hasGroup("Runtime") && !metadata->hasGroup("Application");
}

bool isValidIdentifier(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::string lastPart(std::string_view identifier) {
    const size_t dot = identifier.rfind('.');
    const std::string_view part = dot == std::string_view::npos ? identifier : identifier.substr(dot + 1);
    return std::string(part.empty() ? identifier : part);
}

std::optional<std::string> desktopName(const std::string& checkout, const std::string& identifier) {
    const auto entry = readKeyFile(joined(checkout, "export/share/applications/" + identifier + ".desktop"));
    if (!entry) return std::nullopt;
    const std::string* name = entry->value("Desktop Entry", "Name");
    if (!name) return std::nullopt;
    std::string trimmed = text::trimmedWhitespaceAndNewlines(*name);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

// The side of a "hicolor" size folder ("48x48", "64x64@2" counts 128); none for other names.
std::optional<int64_t> iconSide(std::string_view folder) {
    if (folder == "scalable") return std::numeric_limits<int64_t>::max();
    const size_t by = folder.find('x');
    if (by == std::string_view::npos) return std::nullopt;
    const size_t at = folder.find('@', by);
    const std::string_view width = folder.substr(0, by);
    const std::string_view height = folder.substr(by + 1, at == std::string_view::npos ? at : at - by - 1);
    int64_t side = 0, other = 0, scale = 1;
    const auto parse = [](std::string_view digits, int64_t& value) {
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() && value > 0 &&
               value <= 65536;
    };
    if (!parse(width, side) || !parse(height, other)) return std::nullopt;
    if (at != std::string_view::npos && !parse(folder.substr(at + 1), scale)) return std::nullopt;
    return std::max(side, other) * scale;
}

} // namespace

std::vector<Deployment> listApplications(const std::string& installation) {
    std::vector<Deployment> found;
    if (installation.empty()) return found;
    const std::string apps = appendingPathComponent(installation, "app");
    const auto names = platform::listFolderNames(apps);
    if (!names) return found;
    for (const std::string& name : *names) {
        const std::string appFolder = appendingPathComponent(apps, name);
        if (!isValidIdentifier(name) || !platform::isDirectoryItem(appFolder)) continue;
        const std::optional<std::string> checkout = activeCheckout(appFolder);
        if (!checkout || declaresRuntimeOnly(*checkout)) continue;
        found.push_back({name, appFolder, *checkout});
    }
    return found;
}

bool isInstalled(const std::string& installation, std::string_view identifier) {
    if (installation.empty() || !isValidIdentifier(identifier)) return false;
    const std::string appFolder = joined(installation, "app/" + std::string(identifier));
    return platform::isDirectoryItem(appFolder) && activeCheckout(appFolder).has_value();
}

std::optional<std::string> largestIcon(const std::string& hicolorFolder, std::string_view iconName) {
    const auto sizes = platform::listFolderNames(hicolorFolder);
    if (!sizes) return std::nullopt;
    std::optional<std::string> best;
    int64_t bestSide = 0;
    for (const std::string& size : *sizes) {
        const std::optional<int64_t> side = iconSide(size);
        if (!side || *side <= bestSide) continue;
        for (const std::string_view extension : {".svg", ".png"}) {
            const std::string candidate =
                joined(appendingPathComponent(hicolorFolder, size), "apps/" + std::string(iconName)) +
                std::string(extension);
            if (!platform::itemExists(candidate)) continue;
            best = candidate;
            bestSide = *side;
            break;
        }
    }
    return best;
}

InstalledApp readApplication(const Deployment& deployment, const ItemSizer& sizer,
                             std::shared_ptr<ScanCancellation> cancellation) {
    const std::string& id = deployment.identifier;
    const std::string share = joined(deployment.checkout, "files/share");
    const MetaInfo info = readMetaInfo(
        {joined(share, "metainfo/" + id + ".metainfo.xml"), joined(share, "metainfo/" + id + ".appdata.xml"),
         joined(share, "appdata/" + id + ".appdata.xml"), joined(share, "appdata/" + id + ".metainfo.xml")});
    InstalledApp app;
    app.name = desktopName(deployment.checkout, id).value_or(lastPart(id));
    app.version = info.version;
    app.bundleIdentifier = id;
    app.developer = info.developerName;
    app.path = deployment.appFolder;
    app.isProtected = false;
    app.allocatedSize = sizer.sizeDirectory(deployment.appFolder, std::move(cancellation)).allocatedSize;
    app.packaging = InstalledApp::Packaging::flatpak;
    app.iconPath = largestIcon(joined(deployment.checkout, "export/share/icons/hicolor"), id);
    return app;
}

} // namespace quillmere::flatpak
