#include "base/Unicode.hpp"

#include <cstdint>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace quillmere {
namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is invalid.
size_t validSequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF) return 0;
    return length;
}

} // namespace

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = validSequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string canonicalText(std::string_view text) {
    if (isAscii(text) || !isValidUtf8(text)) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    const icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (nfc->isNormalized(source, status) && U_SUCCESS(status)) return std::string(text);
    status = U_ZERO_ERROR;
    const icu::UnicodeString normalized = nfc->normalize(source, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string out;
    normalized.toUTF8String(out);
    return out;
}

bool textEquivalent(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (isAscii(a) && isAscii(b)) return false;
    return canonicalText(a) == canonicalText(b);
}

std::string repairedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = validSequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace quillmere
