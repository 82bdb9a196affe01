#include "platform/PropertyList.hpp"
#include "platform/Base64.hpp"
#include "platform/PropertyListBuilder.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace quillmere::platform::detail {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool readDigits(std::string_view& text, size_t count, int64_t& value) {
    if (text.size() < count) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool expectChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// "YYYY-MM-DDTHH:MM:SSZ", the one form the format writes.
std::optional<double> parseDate(std::string_view text) {
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readDigits(text, 4, year) || !expectChar(text, '-') || !readDigits(text, 2, month) ||
        !expectChar(text, '-') || !readDigits(text, 2, day) || !expectChar(text, 'T') ||
        !readDigits(text, 2, hour) || !expectChar(text, ':') || !readDigits(text, 2, minute) ||
        !expectChar(text, ':') || !readDigits(text, 2, second) || !expectChar(text, 'Z') || !text.empty())
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    constexpr int64_t kSeconds1970To2001 = 978307200;
    const int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return static_cast<double>(seconds - kSeconds1970To2001);
}

std::optional<int64_t> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (magnitude > uint64_t{1} << 63) return std::nullopt;
        return static_cast<int64_t>(0 - magnitude);
    }
    // Values up to the unsigned 64-bit limit keep their bits.
    return static_cast<int64_t>(magnitude);
}

std::optional<double> parseReal(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) return std::nullopt;
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t buffer = 0;
    int bits = 0;
    bool padded = false;
    for (const char c : text) {
        if (isSpace(c)) continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0 || padded) return std::nullopt;
        buffer = (buffer << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>((buffer >> bits) & 0xFF));
        }
    }
    return bytes;
}

class XmlReader {
public:
    explicit XmlReader(std::string_view text) : text_(text) {}

    std::expected<PropertyListValue, PropertyListError> read() {
        PropertyListValue result;
        if (!skipMisc(true)) return std::unexpected(error_);
        std::string_view name;
        bool isEmpty = false;
        if (!readStartTag(name, isEmpty)) return std::unexpected(error_);
        if (name == "plist") {
            if (isEmpty || !skipMisc(false)) return std::unexpected(PropertyListError::malformed);
            std::string_view valueName;
            bool valueEmpty = false;
            if (!readStartTag(valueName, valueEmpty) || !readValue(valueName, valueEmpty, 1, result))
                return std::unexpected(error_);
            if (!skipMisc(false) || !readEndTag("plist")) return std::unexpected(error_);
        } else if (!readValue(name, isEmpty, 1, result)) {
            return std::unexpected(error_);
        }
        if (!skipMisc(false) || at_ != text_.size()) return std::unexpected(PropertyListError::malformed);
        return result;
    }

private:
    bool stop(PropertyListError error) {
        error_ = error;
        return false;
    }

    bool lookingAt(std::string_view prefix) const { return text_.substr(at_).starts_with(prefix); }

    bool skipPast(std::string_view terminator) {
        const size_t end = text_.find(terminator, at_);
        if (end == std::string_view::npos) return stop(PropertyListError::malformed);
        at_ = end + terminator.size();
        return true;
    }

    // White space, comments, processing instructions and, before the first element, the
    // document type. A document type with an internal subset could declare entities; such
    // a file is refused rather than half-read.
    bool skipMisc(bool allowDoctype) {
        while (true) {
            while (at_ < text_.size() && isSpace(text_[at_]))
                ++at_;
            if (lookingAt("<!--")) {
                if (!skipPast("-->")) return false;
            } else if (lookingAt("<?")) {
                if (!skipPast("?>")) return false;
            } else if (allowDoctype && lookingAt("<!DOCTYPE")) {
                const size_t end = text_.find_first_of("[>", at_);
                if (end == std::string_view::npos || text_[end] == '[')
                    return stop(PropertyListError::malformed);
                at_ = end + 1;
            } else {
                return true;
            }
        }
    }

    bool readStartTag(std::string_view& name, bool& isEmpty) {
        if (!lookingAt("<") || lookingAt("</") || lookingAt("<!")) return stop(PropertyListError::malformed);
        ++at_;
        const size_t start = at_;
        while (at_ < text_.size() && !isSpace(text_[at_]) && text_[at_] != '>' && text_[at_] != '/')
            ++at_;
        name = text_.substr(start, at_ - start);
        if (name.empty()) return stop(PropertyListError::malformed);
        // Attributes (the plist version) carry nothing the tree needs; quoted values may hold ">".
        char quote = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                isEmpty = at_ > start && text_[at_ - 1] == '/';
                ++at_;
                return true;
            }
            ++at_;
        }
        return stop(PropertyListError::malformed);
    }

    bool readEndTag(std::string_view name) {
        if (!lookingAt("</")) return stop(PropertyListError::malformed);
        at_ += 2;
        if (!lookingAt(name)) return stop(PropertyListError::malformed);
        at_ += name.size();
        while (at_ < text_.size() && isSpace(text_[at_]))
            ++at_;
        if (!lookingAt(">")) return stop(PropertyListError::malformed);
        ++at_;
        return true;
    }

    bool readEntity(std::string& out) {
        const size_t end = text_.find(';', at_);
        // Entity names are short; a missing ";" nearby is a stray ampersand.
        if (end == std::string_view::npos || end - at_ > 12) return stop(PropertyListError::malformed);
        const std::string_view entity = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "amp")
            out += '&';
        else if (entity == "quot")
            out += '"';
        else if (entity == "apos")
            out += '\'';
        else if (entity.starts_with('#')) {
            std::string_view digits = entity.substr(1);
            int base = 10;
            if (digits.starts_with('x') || digits.starts_with('X')) {
                base = 16;
                digits.remove_prefix(1);
            }
            uint32_t codePoint = 0;
            const auto [ptr, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), codePoint, base);
            if (digits.empty() || error != std::errc() || ptr != digits.data() + digits.size() ||
                codePoint == 0)
                return stop(PropertyListError::malformed);
            appendUtf8(out, codePoint);
        } else {
            // Declared or external entities are never resolved.
            return stop(PropertyListError::malformed);
        }
        return true;
    }

    // The character content of the element `name` up to its end tag.
    bool readText(std::string_view name, std::string& out) {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '&') {
                if (!readEntity(out)) return false;
            } else if (c == '<') {
                if (lookingAt("<![CDATA[")) {
                    const size_t start = at_ + 9;
                    const size_t end = text_.find("]]>", start);
                    if (end == std::string_view::npos) return stop(PropertyListError::malformed);
                    out.append(text_.substr(start, end - start));
                    at_ = end + 3;
                } else if (lookingAt("<!--")) {
                    if (!skipPast("-->")) return false;
                } else {
                    return readEndTag(name);
                }
            } else if (c == '\r') {
                // Line ends read as in any XML reader: CR LF and a lone CR become LF.
                out += '\n';
                ++at_;
                if (at_ < text_.size() && text_[at_] == '\n') ++at_;
            } else {
                out += c;
                ++at_;
            }
        }
        return stop(PropertyListError::malformed);
    }

    bool readValue(std::string_view name, bool isEmpty, int depth, PropertyListValue& out) {
        if (depth > kPropertyListMaxDepth) return stop(PropertyListError::tooDeep);
        if (name == "dict")
            return isEmpty ? (out.value = PropertyListDictionary{}, true) : readDict(depth, out);
        if (name == "array") return isEmpty ? (out.value = PropertyListArray{}, true) : readArray(depth, out);
        if (name == "true" || name == "false") {
            out.value = name == "true";
            return isEmpty || readEndTag(name);
        }
        std::string text;
        if (!isEmpty && !readText(name, text)) return false;
        if (name == "string") {
            out.value = std::move(text);
            return true;
        }
        if (name == "integer") {
            const auto value = parseInteger(trimmed(text));
            if (!value) return stop(PropertyListError::malformed);
            out.value = *value;
            return true;
        }
        if (name == "real") {
            const auto value = parseReal(trimmed(text));
            if (!value) return stop(PropertyListError::malformed);
            out.value = *value;
            return true;
        }
        if (name == "date") {
            const auto value = parseDate(trimmed(text));
            if (!value) return stop(PropertyListError::malformed);
            out.value = PropertyListDate{*value};
            return true;
        }
        if (name == "data") {
            auto bytes = decodeBase64(text);
            if (!bytes) return stop(PropertyListError::malformed);
            out.value = PropertyListData{std::move(*bytes)};
            return true;
        }
        return stop(PropertyListError::malformed);
    }

    bool readArray(int depth, PropertyListValue& out) {
        PropertyListArray items;
        while (true) {
            if (!skipMisc(false)) return false;
            if (lookingAt("</")) {
                if (!readEndTag("array")) return false;
                out.value = std::move(items);
                return true;
            }
            std::string_view name;
            bool isEmpty = false;
            if (!readStartTag(name, isEmpty) || !readValue(name, isEmpty, depth + 1, items.emplace_back()))
                return false;
        }
    }

    bool readDict(int depth, PropertyListValue& out) {
        DictionaryBuilder dictionary;
        while (true) {
            if (!skipMisc(false)) return false;
            if (lookingAt("</")) {
                if (!readEndTag("dict")) return false;
                out.value = dictionary.take();
                return true;
            }
            std::string_view name;
            bool isEmpty = false;
            if (!readStartTag(name, isEmpty) || name != "key") return stop(PropertyListError::malformed);
            std::string key;
            if (!isEmpty && !readText("key", key)) return false;
            if (!skipMisc(false) || !readStartTag(name, isEmpty)) return false;
            PropertyListValue value;
            if (!readValue(name, isEmpty, depth + 1, value)) return false;
            dictionary.add(std::move(key), std::move(value));
        }
    }

    std::string_view text_;
    size_t at_ = 0;
    PropertyListError error_ = PropertyListError::malformed;
};

} // namespace

std::expected<PropertyListValue, PropertyListError> parseXmlPropertyList(std::string_view text) {
    return XmlReader(text).read();
}

} // namespace quillmere::platform::detail
