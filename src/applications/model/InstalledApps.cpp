#include "applications/model/InstalledApps.hpp"

#include "applications/model/TextRules.hpp"
#include "base/PathText.hpp"
#include "platform/FolderListing.hpp"

#include <unordered_set>

namespace quillmere {

namespace {

bool hasAppExtension(std::string_view name) {
    return pathExtension(name) == "app";
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string fileNameWithoutExtension(std::string_view path) {
    std::string_view name = lastPathComponent(path);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

} // namespace

std::optional<std::string> noSigningTeam(const std::string&) {
    return std::nullopt;
}

std::vector<std::string> bundlePaths(const std::vector<std::string>& folders) {
    std::vector<std::string> found;
    std::unordered_set<std::string> seen;
    const auto take = [&](const std::string& entry) {
        if (seen.insert(standardizedPath(entry)).second) found.push_back(entry);
    };
    for (const std::string& folder : folders) {
        const std::optional<std::vector<std::string>> names = platform::listFolderNames(folder);
        if (!names) continue;
        for (const std::string& name : *names) {
            const std::string entry = appendingPathComponent(folder, name);
            if (!platform::isDirectoryItem(entry)) continue;
            if (hasAppExtension(name)) {
                take(entry);
                continue;
            }
            // A group folder: one level down, and there any ".app" entry counts.
            const std::optional<std::vector<std::string>> children = platform::listFolderNames(entry);
            if (!children) continue;
            for (const std::string& child : *children)
                if (hasAppExtension(child)) take(appendingPathComponent(entry, child));
        }
    }
    return found;
}

std::optional<std::string> copyrightHolder(const platform::PropertyListDictionary& info) {
    const std::string* copyright = info.findString("NSHumanReadableCopyright");
    if (!copyright) return std::nullopt;
    std::string_view rest = *copyright;
    constexpr std::string_view symbol = "©", letter = "(c)";
    if (const size_t mark = rest.find(symbol); mark != std::string_view::npos) {
        rest.remove_prefix(mark + symbol.size());
    } else if (const size_t spelled = asciiLowercased(rest).find(letter); spelled != std::string::npos) {
        rest.remove_prefix(spelled + letter.size());
    }
    std::string holder = text::trimmed(rest, text::isBlank);
    // Years and their separators lead up to the name.
    while (!holder.empty()) {
        const std::u32string points = text::codePoints(holder);
        const char32_t first = points.front();
        if (!text::isNumeric(first) && first != '-' && first != ',') break;
        holder = text::trimmed(text::utf8(std::u32string_view(points).substr(1)), text::isBlank);
    }
    if (const size_t reserved = asciiLowercased(holder).find("all rights reserved");
        reserved != std::string::npos)
        holder.resize(reserved);
    holder = text::trimmed(holder, [](char32_t c) { return c == '.' || c == ' ' || text::isBlank(c); });
    if (holder.empty()) return std::nullopt;
    return holder;
}

BundleReader::BundleReader(ProtectedLocations protection, ItemSizer sizer,
                           TeamIdentifierReader teamIdentifier)
    : protection_(std::move(protection)), sizer_(std::move(sizer)),
      teamIdentifier_(teamIdentifier ? std::move(teamIdentifier) : noSigningTeam) {}

bool BundleReader::isProtected(const std::string& bundlePath) const {
    return protection_.isProtectedPath(bundlePath);
}

InstalledApp BundleReader::read(const std::string& bundlePath,
                                std::shared_ptr<ScanCancellation> cancellation) const {
    const platform::PropertyListDictionary info =
        platform::readPropertyListDictionary(appendingPathComponent(bundlePath, "Contents/Info.plist"));
    const auto text = [&](std::initializer_list<const char*> keys) -> std::optional<std::string> {
        for (const char* key : keys)
            if (const std::string* value = info.findString(key)) return *value;
        return std::nullopt;
    };
    InstalledApp app;
    app.name = text({"CFBundleDisplayName", "CFBundleName"}).value_or(fileNameWithoutExtension(bundlePath));
    app.version = text({"CFBundleShortVersionString", "CFBundleVersion"});
    app.developer = teamIdentifier_(bundlePath);
    if (!app.developer) app.developer = copyrightHolder(info);
    app.bundleIdentifier = text({"CFBundleIdentifier"});
    app.path = bundlePath;
    app.isProtected = isProtected(bundlePath);
    app.allocatedSize = sizer_.sizeDirectory(bundlePath, std::move(cancellation)).allocatedSize;
    return app;
}

} // namespace quillmere
