#pragma once

#include "applications/model/SmallXml.hpp"

#include <optional>
#include <string>

namespace quillmere {

// What an application's AppStream metainfo says that the inventory shows.
struct MetaInfo {
    // The version of the first release listed (the newest, as the format orders them).
    std::optional<std::string> version;
    // The untranslated developer name.
    std::optional<std::string> developerName;

    bool operator==(const MetaInfo&) const = default;
};

// From a parsed document whose root is a "component" (or the older "application"); any other
// root gives nothing. The developer is "developer/name", else the older "developer_name"; a
// translated one (with "xml:lang") is passed over.
MetaInfo metaInfoOf(const XmlElement& root);
// The first of `paths` that exists, read; nothing from a file that the reader refuses.
MetaInfo readMetaInfo(const std::vector<std::string>& paths);

} // namespace quillmere
