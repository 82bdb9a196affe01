#pragma once

#include "systemdata/SystemDataReclaimAction.hpp"

#include <cstdint>
#include <string>

namespace quillmere {

// One System Data category the user chose to reclaim; identified by `id`.
struct SystemDataReclaimEntry {
    std::string id;   // the category's id
    std::string name; // the category's name
    int64_t sizeBytes = 0;
    SystemDataReclaimAction action;

    bool operator==(const SystemDataReclaimEntry&) const = default;
};

} // namespace quillmere
