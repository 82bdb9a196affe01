#pragma once

#include "base/Format.hpp"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <string_view>

namespace quillmere {

// The screen's UTF-8 texts as Qt strings.
inline QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A byte count as the screen shows it; a negative count shows as zero.
inline QString bytesText(int64_t bytes) {
    return qs(formatByteCount(std::max<int64_t>(bytes, 0)));
}

} // namespace quillmere
