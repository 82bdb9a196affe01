#include "access/PrivilegedNodeText.hpp"

#include <charconv>
#include <cmath>

namespace quillmere {
namespace {

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is not one.
size_t sequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    uint32_t lowest = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    uint32_t point = lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xc0) != 0x80) return 0;
        point = (point << 6) | (byte(i) & 0x3f);
    }
    if (point < lowest || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) return 0;
    return length;
}

void appendInteger(std::string& out, int64_t value) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, written.ptr);
}

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t plainFrom = 0;
    size_t i = 0;
    const auto flush = [&] { out.append(text.data() + plainFrom, i - plainFrom); };
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            if (const size_t length = sequenceLength(text.substr(i))) {
                i += length;
                continue;
            }
            flush();
            out += "\xef\xbf\xbd";
            plainFrom = ++i;
            continue;
        }
        flush();
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
        plainFrom = ++i;
    }
    flush();
    out += '"';
}

void appendRecordHead(std::string& out, const RecordHead& head) {
    out += "{\"name\":";
    appendJsonString(out, head.name);
    out += ",\"path\":";
    appendJsonString(out, head.path);
    out += head.isDirectory ? ",\"isDirectory\":true,\"allocatedSize\":"
                            : ",\"isDirectory\":false,\"allocatedSize\":";
    appendInteger(out, head.allocatedSize);
    out += ",\"folderCount\":";
    appendInteger(out, head.folderCount);
    out += ",\"fileCount\":";
    appendInteger(out, head.fileCount);
    // JSON has no form for an infinite or undefined date: such a date is left out.
    if (head.modificationDate && std::isfinite(*head.modificationDate)) {
        out += ",\"modificationDate\":";
        char digits[32];
        const auto written = std::to_chars(digits, digits + sizeof digits, *head.modificationDate);
        out.append(digits, written.ptr);
    }
    out +=
        head.isAggregate ? ",\"isAggregate\":true,\"children\":[" : ",\"isAggregate\":false,\"children\":[";
}

} // namespace quillmere
