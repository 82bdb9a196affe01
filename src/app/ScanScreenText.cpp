#include "app/ScanScreenText.hpp"

#include "base/Format.hpp"

#include <cmath>

namespace quillmere {

double scanProgressFraction(int64_t bytesScanned, int64_t totalCapacityBytes) {
    if (totalCapacityBytes < 1) return 0;
    const double fraction = static_cast<double>(bytesScanned) / static_cast<double>(totalCapacityBytes);
    if (!(fraction >= 0)) return 0; // negative or not a number
    return std::min(fraction, 1.0);
}

std::string scanProgressPercentText(int64_t bytesScanned, int64_t totalCapacityBytes) {
    const auto percent =
        static_cast<long long>(std::round(scanProgressFraction(bytesScanned, totalCapacityBytes) * 100));
    return std::to_string(percent) + "% of " + formatByteCount(totalCapacityBytes);
}

std::string scanStatusLine(const std::optional<ScanProgress>& progress) {
    if (!progress) return "Looking around\u2026";
    return formatGroupedInteger(progress->filesScanned) + " files \u00B7 " +
           formatByteCount(progress->bytesScanned) + " so far";
}

std::string readyToScanSentence(const std::string& volumeName) {
    return "A full scan of " + volumeName +
           " takes a few minutes, and you can stop it partway through and keep what it found.";
}

} // namespace quillmere
