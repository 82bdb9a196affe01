#include "reclaim/ResultTexts.hpp"

#include "base/Format.hpp"
#include "reclaim/SheetTexts.hpp"

#include <cmath>

namespace quillmere {

namespace st = sheet_text;

std::vector<std::string> failureLines(const Reclaimer::Outcome& outcome) {
    std::vector<std::string> lines;
    for (const Reclaimer::ItemFailure& failure : outcome.failures)
        lines.push_back(std::string(failure.node.name()) + ": " + failure.reason);
    for (const Reclaimer::SystemDataEntryFailure& failure : outcome.systemDataFailures)
        lines.push_back(failure.entry.name + ": " + failure.reason);
    return lines;
}

std::string freeSpaceSentence(const Reclaimer::Outcome& outcome) {
    if (!outcome.measuredFreedBytes) return st::notMeasured;
    const int64_t promised = outcome.promisedBytes;
    const int64_t measured = *outcome.measuredFreedBytes;
    const bool matches = promised >= 1
                             ? std::abs(double(measured) - double(promised)) <= 0.01 * double(promised)
                             : measured == 0;
    if (matches) return st::increasedBy + formatByteCount(measured) + st::matching;
    return st::increasedBy + formatByteCount(measured) + st::soFar + formatByteCount(promised) +
           st::promisedTail;
}

} // namespace quillmere
