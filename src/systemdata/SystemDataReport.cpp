#include "systemdata/SystemDataReport.hpp"

#include <algorithm>

namespace quillmere {

int64_t SystemDataReport::totalBytes() const {
    int64_t sum = remainder.sizeBytes;
    for (const SystemDataCategory& category : categories)
        sum += category.sizeBytes;
    return std::min(sum, volumeUsedBytes);
}

} // namespace quillmere
