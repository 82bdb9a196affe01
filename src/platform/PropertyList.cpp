#include "platform/PropertyList.hpp"

#include "platform/BoundedFile.hpp"

#include <utility>

namespace quillmere::platform {

const PropertyListValue* PropertyListDictionary::find(std::string_view key) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &values[i];
    return nullptr;
}

const std::string* PropertyListDictionary::findString(std::string_view key) const {
    const PropertyListValue* found = find(key);
    return found ? found->string() : nullptr;
}

void PropertyListDictionary::set(std::string key, PropertyListValue value) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) {
            values[i] = std::move(value);
            return;
        }
    keys.push_back(std::move(key));
    values.push_back(std::move(value));
}

namespace detail {

void appendUtf8(std::string& out, uint32_t codePoint) {
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace detail

std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::string_view bytes) {
    if (bytes.size() > kPropertyListMaxBytes) return std::unexpected(PropertyListError::tooLarge);
    constexpr std::string_view binaryMagic = "bplist00";
    if (bytes.starts_with(binaryMagic))
        return detail::parseBinaryPropertyList(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (bytes.starts_with("bplist")) return std::unexpected(PropertyListError::unsupportedFormat);

    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const size_t first = text.find_first_not_of(" \t\r\n");
    // Only XML starts with "<"; the OpenStep text format starts with "{", "(" or a quote.
    if (first == std::string_view::npos || text[first] != '<')
        return std::unexpected(PropertyListError::unsupportedFormat);
    return detail::parseXmlPropertyList(text.substr(first));
}

std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::span<const std::byte> bytes) {
    return parsePropertyList(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::expected<PropertyListValue, PropertyListError> readPropertyListFile(const std::string& path) {
    // Not blocking, so that a FIFO named Info.plist cannot stall the survey.
    const auto bytes = readBoundedFile(path, kPropertyListMaxBytes);
    if (!bytes)
        return std::unexpected(bytes.error() == BoundedReadError::tooLarge ? PropertyListError::tooLarge
                                                                           : PropertyListError::unreadable);
    return parsePropertyList(std::string_view(*bytes));
}

PropertyListDictionary readPropertyListDictionary(const std::string& path) {
    auto value = readPropertyListFile(path);
    if (!value) return {};
    if (PropertyListDictionary* dictionary = std::get_if<PropertyListDictionary>(&value->value))
        return std::move(*dictionary);
    return {};
}

} // namespace quillmere::platform
