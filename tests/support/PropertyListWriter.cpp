#include "support/PropertyListWriter.hpp"

#include "platform/Base64.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

namespace quillmere::fixture {

namespace {

using namespace platform;

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

std::string dateText(double secondsSince2001) {
    const auto seconds = static_cast<time_t>(secondsSince2001 + 978307200.0);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return buffer;
}

void writeXml(const PropertyListValue& value, std::string& out) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>)
                out += v ? "<true/>" : "<false/>";
            else if constexpr (std::is_same_v<T, int64_t>)
                out += "<integer>" + std::to_string(v) + "</integer>";
            else if constexpr (std::is_same_v<T, double>) {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%.17g", v);
                out += std::string("<real>") + buffer + "</real>";
            } else if constexpr (std::is_same_v<T, std::string>)
                out += "<string>" + escaped(v) + "</string>";
            else if constexpr (std::is_same_v<T, PropertyListDate>)
                out += "<date>" + dateText(v.secondsSince2001) + "</date>";
            else if constexpr (std::is_same_v<T, PropertyListData>)
                out += "<data>" + base64Encoded(std::string(v.bytes.begin(), v.bytes.end())) + "</data>";
            else if constexpr (std::is_same_v<T, PropertyListUid>)
                out += "<integer>" + std::to_string(v.value) + "</integer>";
            else if constexpr (std::is_same_v<T, PropertyListArray>) {
                out += "<array>\n";
                for (const PropertyListValue& item : v) {
                    writeXml(item, out);
                    out += '\n';
                }
                out += "</array>";
            } else {
                out += "<dict>\n";
                for (size_t i = 0; i < v.keys.size(); ++i) {
                    out += "\t<key>" + escaped(v.keys[i]) + "</key>\n\t";
                    writeXml(v.values[i], out);
                    out += '\n';
                }
                out += "</dict>";
            }
        },
        value.value);
}

std::string bigEndian(uint64_t value, size_t width) {
    std::string out(width, '\0');
    for (size_t i = 0; i < width; ++i)
        out[width - 1 - i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

size_t widthFor(uint64_t largest) {
    size_t width = 1;
    while (width < 8 && largest >= (uint64_t{1} << (8 * width)))
        width *= 2;
    return width;
}

std::string lengthMarker(uint8_t kind, uint64_t length) {
    if (length < 15) return std::string(1, static_cast<char>(kind | length));
    const size_t width = widthFor(length);
    const int exponent = std::countr_zero(width);
    return std::string(1, static_cast<char>(kind | 0x0F)) + static_cast<char>(0x10 | exponent) +
           bigEndian(length, width);
}

// Objects in depth-first order; no object is shared.
class BinaryWriter {
public:
    std::string write(const PropertyListValue& value) {
        // Count first so that the reference width is known before containers are written.
        count_ = countObjects(value);
        refSize_ = widthFor(count_);
        add(value);
        std::string out = "bplist00";
        std::vector<uint64_t> offsets;
        for (const std::string& object : objects_) {
            offsets.push_back(out.size());
            out += object;
        }
        const uint64_t table = out.size();
        const size_t offsetSize = widthFor(table);
        for (const uint64_t offset : offsets)
            out += bigEndian(offset, offsetSize);
        out += std::string(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize_);
        out += bigEndian(objects_.size(), 8);
        out += bigEndian(0, 8);
        out += bigEndian(table, 8);
        return out;
    }

private:
    static uint64_t countObjects(const PropertyListValue& value) {
        uint64_t count = 1;
        if (const PropertyListArray* array = value.array())
            for (const PropertyListValue& item : *array)
                count += countObjects(item);
        if (const PropertyListDictionary* dictionary = value.dictionary())
            for (const PropertyListValue& item : dictionary->values)
                count += 1 + countObjects(item);
        return count;
    }

    size_t addString(const std::string& text) {
        const size_t index = objects_.size();
        objects_.emplace_back();
        const bool ascii =
            std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            objects_[index] = lengthMarker(0x50, text.size()) + text;
            return index;
        }
        std::u16string units;
        for (size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            uint32_t point = length == 1 ? c : c & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k)
                point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            i += length;
            if (point >= 0x10000) {
                point -= 0x10000;
                units += static_cast<char16_t>(0xD800 + (point >> 10));
                units += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
            } else {
                units += static_cast<char16_t>(point);
            }
        }
        std::string object = lengthMarker(0x60, units.size());
        for (const char16_t unit : units)
            object += bigEndian(unit, 2);
        objects_[index] = std::move(object);
        return index;
    }

    size_t add(const PropertyListValue& value) {
        if (const std::string* text = value.string()) return addString(*text);
        const size_t index = objects_.size();
        objects_.emplace_back();
        std::string object = std::visit(
            [&](const auto& v) -> std::string {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, bool>)
                    return std::string(1, v ? '\x09' : '\x08');
                else if constexpr (std::is_same_v<T, int64_t>)
                    return "\x13" + bigEndian(static_cast<uint64_t>(v), 8);
                else if constexpr (std::is_same_v<T, double>)
                    return "\x23" + bigEndian(std::bit_cast<uint64_t>(v), 8);
                else if constexpr (std::is_same_v<T, PropertyListDate>)
                    return "\x33" + bigEndian(std::bit_cast<uint64_t>(v.secondsSince2001), 8);
                else if constexpr (std::is_same_v<T, PropertyListData>)
                    return lengthMarker(0x40, v.bytes.size()) + std::string(v.bytes.begin(), v.bytes.end());
                else if constexpr (std::is_same_v<T, PropertyListUid>)
                    return "\x87" + bigEndian(v.value, 8);
                else if constexpr (std::is_same_v<T, PropertyListArray>) {
                    std::string refs;
                    for (const PropertyListValue& item : v)
                        refs += bigEndian(add(item), refSize_);
                    return lengthMarker(0xA0, v.size()) + refs;
                } else if constexpr (std::is_same_v<T, PropertyListDictionary>) {
                    std::string keys, values;
                    for (size_t i = 0; i < v.keys.size(); ++i) {
                        keys += bigEndian(addString(v.keys[i]), refSize_);
                        values += bigEndian(add(v.values[i]), refSize_);
                    }
                    return lengthMarker(0xD0, v.keys.size()) + keys + values;
                } else {
                    return {};
                }
            },
            value.value);
        objects_[index] = std::move(object);
        return index;
    }

    std::vector<std::string> objects_;
    uint64_t count_ = 0;
    size_t refSize_ = 1;
};

} // namespace

std::string xmlPropertyList(const PropertyListValue& value) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    writeXml(value, out);
    out += "\n</plist>\n";
    return out;
}

std::string binaryPropertyList(const PropertyListValue& value) {
    return BinaryWriter().write(value);
}

} // namespace quillmere::fixture
