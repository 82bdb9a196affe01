#include "applications/model/MetaInfo.hpp"

#include "applications/model/TextRules.hpp"
#include "platform/FolderListing.hpp"

namespace quillmere {

namespace {

const XmlElement* firstChild(const XmlElement& element, std::string_view name) {
    for (const XmlElement& child : element.children)
        if (child.name == name) return &child;
    return nullptr;
}

// The trimmed text of the first child named `name` that is not a translation; none when empty.
std::optional<std::string> untranslatedText(const XmlElement& element, std::string_view name) {
    for (const XmlElement& child : element.children) {
        if (child.name != name || child.attribute("xml:lang")) continue;
        std::string text = text::trimmedWhitespaceAndNewlines(child.text);
        if (!text.empty()) return text;
    }
    return std::nullopt;
}

} // namespace

MetaInfo metaInfoOf(const XmlElement& root) {
    MetaInfo info;
    if (root.name != "component" && root.name != "application") return info;
    if (const XmlElement* releases = firstChild(root, "releases"))
        for (const XmlElement& release : releases->children) {
            const std::string* version = release.name == "release" ? release.attribute("version") : nullptr;
            if (!version) continue;
            std::string trimmed = text::trimmedWhitespaceAndNewlines(*version);
            if (trimmed.empty()) continue;
            info.version = std::move(trimmed);
            break;
        }
    if (const XmlElement* developer = firstChild(root, "developer"))
        info.developerName = untranslatedText(*developer, "name");
    if (!info.developerName) info.developerName = untranslatedText(root, "developer_name");
    return info;
}

MetaInfo readMetaInfo(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (!platform::itemExists(path)) continue;
        const auto document = readXmlFile(path);
        return document ? metaInfoOf(*document) : MetaInfo{};
    }
    return {};
}

} // namespace quillmere
