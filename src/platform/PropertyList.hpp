#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillmere::platform {

// Property lists as bundles carry them (Info.plist): XML or binary ("bplist00"). The reader
// builds the format's value tree from untrusted bytes: every offset, count and length is
// checked against the bytes present before anything is reserved, nesting is bounded, shared
// or cyclic references cannot blow the tree up, and external entities are never resolved.

struct PropertyListValue;

// Seconds since 2001-01-01 00:00:00 UTC, the format's own epoch.
struct PropertyListDate {
    double secondsSince2001 = 0;
    bool operator==(const PropertyListDate&) const = default;
};

struct PropertyListData {
    std::vector<uint8_t> bytes;
    bool operator==(const PropertyListData&) const = default;
};

// A keyed-archive reference; only the binary format has it.
struct PropertyListUid {
    uint64_t value = 0;
    bool operator==(const PropertyListUid&) const = default;
};

using PropertyListArray = std::vector<PropertyListValue>;

// Text keys in file order; a repeated key keeps its last value in the first key's place.
struct PropertyListDictionary {
    std::vector<std::string> keys;
    std::vector<PropertyListValue> values;

    bool operator==(const PropertyListDictionary&) const = default;
    // The value under `key`, none when absent.
    const PropertyListValue* find(std::string_view key) const;
    // The text under `key`, none when absent or not text.
    const std::string* findString(std::string_view key) const;
    void set(std::string key, PropertyListValue value);
    size_t size() const { return keys.size(); }
};

struct PropertyListValue {
    // Integers beyond the signed 64-bit range keep their low 64 bits.
    std::variant<bool, int64_t, double, std::string, PropertyListDate, PropertyListData, PropertyListUid,
                 PropertyListArray, PropertyListDictionary>
        value;

    bool operator==(const PropertyListValue&) const = default;

    const std::string* string() const { return std::get_if<std::string>(&value); }
    const PropertyListDictionary* dictionary() const { return std::get_if<PropertyListDictionary>(&value); }
    const PropertyListArray* array() const { return std::get_if<PropertyListArray>(&value); }
};

enum class PropertyListError {
    // Neither XML nor bplist00: the OpenStep text format, another binary version, anything else.
    unsupportedFormat,
    malformed,
    // Deeper than the nesting bound, or a structure that refers to itself.
    tooDeep,
    // Larger than the size bound, or a tree that expands past its budget.
    tooLarge,
    unreadable,
};

// Files (and trees) larger than this are not read.
inline constexpr size_t kPropertyListMaxBytes = 16u << 20;
// Arrays and dictionaries nested deeper than this are refused.
inline constexpr int kPropertyListMaxDepth = 256;

std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::span<const std::byte> bytes);
std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::string_view bytes);
// Reads at most the size bound from the file at `path` (a larger file is `tooLarge`).
std::expected<PropertyListValue, PropertyListError> readPropertyListFile(const std::string& path);

// The top-level dictionary of the file at `path`; empty when the file cannot be read, cannot
// be parsed or is not a dictionary.
PropertyListDictionary readPropertyListDictionary(const std::string& path);

namespace detail {
std::expected<PropertyListValue, PropertyListError> parseXmlPropertyList(std::string_view text);
std::expected<PropertyListValue, PropertyListError> parseBinaryPropertyList(std::span<const uint8_t> bytes);
// Appends the UTF-8 form of `codePoint` (U+FFFD for surrogates and values beyond U+10FFFF).
void appendUtf8(std::string& out, uint32_t codePoint);
} // namespace detail

} // namespace quillmere::platform
