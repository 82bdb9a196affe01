#include "platform/TrashInfo.hpp"

namespace quillmere::platform {
namespace {

bool isUnreserved(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '-':
    case '_':
    case '.':
    case '!':
    case '~':
    case '*':
    case '\'':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/' || isUnreserved(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string trashDeletionDate(std::time_t when) {
    std::tm local{};
    if (!::localtime_r(&when, &local)) return "1970-01-01T00:00:00";
    char buffer[32];
    const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(buffer, length);
}

std::string trashInfoText(std::string_view originalPath, std::time_t deletedAt) {
    return "[Trash Info]\nPath=" + percentEncode(originalPath) +
           "\nDeletionDate=" + trashDeletionDate(deletedAt) + "\n";
}

std::string trashEntryName(std::string_view itemName, int attempt) {
    const std::string suffix = attempt > 1 ? "." + std::to_string(attempt) : std::string();
    const size_t limit = kMaxFileNameBytes - kTrashInfoSuffix.size() - suffix.size();
    if (itemName.size() > limit) {
        size_t cut = limit;
        // Back up over UTF-8 continuation bytes so a character is never split; a name that is
        // not UTF-8 is cut where it must be.
        for (int step = 0; step < 3 && cut > 0 && (static_cast<unsigned char>(itemName[cut]) & 0xC0) == 0x80;
             ++step)
            --cut;
        itemName = itemName.substr(0, cut);
    }
    return std::string(itemName) + suffix;
}

std::string directorySizesLine(int64_t bytes, int64_t recordModifiedSeconds, std::string_view entryName) {
    return std::to_string(bytes) + " " + std::to_string(recordModifiedSeconds) + " " +
           percentEncode(entryName) + "\n";
}

} // namespace quillmere::platform
