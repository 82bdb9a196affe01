#include "access/PrivilegedScanning.hpp"

namespace quillmere {

PrivilegedScanStatus PrivilegedScanStatus::fromServiceStatus(int64_t rawStatus) {
    switch (rawStatus) {
    case kNotRegistered:
    case kNotFound:
        return off();
    case kEnabled:
        return on();
    case kRequiresApproval:
        return awaitingApproval();
    default:
        return failed("Unrecognized helper status.");
    }
}

} // namespace quillmere
