#pragma once

#include "systemdata/Reclaimer.hpp"

#include <string>
#include <vector>

namespace quillmere {

// One line per item that failed, nodes first: "name: reason". Empty exactly when the outcome
// is a success.
std::vector<std::string> failureLines(const Reclaimer::Outcome& outcome);

// The measured free space against the promise: matching within 1 % of a positive promise, or
// exactly 0 for a promise of nothing.
std::string freeSpaceSentence(const Reclaimer::Outcome& outcome);

} // namespace quillmere
