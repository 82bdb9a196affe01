#pragma once

#include "scan/ScanRecords.hpp"

#include <optional>
#include <string>

namespace quillmere {

// The share of the volume's whole capacity walked so far, in [0, 1]; 0 when the capacity
// is not positive, so nothing is ever divided by it.
double scanProgressFraction(int64_t bytesScanned, int64_t totalCapacityBytes);

// "37% of 500.11 GB": the fraction rounded half away from zero.
std::string scanProgressPercentText(int64_t bytesScanned, int64_t totalCapacityBytes);

// "Looking around…" before the first figures, then "12,345 files · 1.2 GB so far".
std::string scanStatusLine(const std::optional<ScanProgress>& progress);

// "A full scan of <name> takes a few minutes, …"
std::string readyToScanSentence(const std::string& volumeName);

} // namespace quillmere
