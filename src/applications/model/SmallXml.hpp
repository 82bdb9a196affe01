#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere {

// A small XML reader for the metadata files applications install (AppStream metainfo). It reads
// untrusted files into an element tree and refuses, rather than half-reads, anything it will not
// handle: entity declarations or references beyond the five predefined ones and character
// references (nothing is ever expanded or fetched), nesting deeper than the bound, oversized
// files and text that is not well-formed UTF-8 XML. Namespaces are not resolved: names are
// kept as written ("xml:lang").
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    // The character data directly inside this element, CDATA included, references resolved.
    std::string text;
    std::vector<XmlElement> children;

    bool operator==(const XmlElement&) const = default;

    // The value of `attribute`, none when absent.
    const std::string* attribute(std::string_view attribute) const;
};

enum class XmlError { unreadable, tooLarge, tooDeep, hasEntities, malformed };

inline constexpr size_t kXmlMaxBytes = 1u << 20;
// Elements nested deeper than this (the root is at depth 1) are refused.
inline constexpr int kXmlMaxDepth = 64;

std::expected<XmlElement, XmlError> parseXml(std::string_view text);
std::expected<XmlElement, XmlError> readXmlFile(const std::string& path);

} // namespace quillmere
