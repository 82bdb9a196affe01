#pragma once

#include <system_error>
#include <type_traits>

namespace quillmere {

// Why the auditor could not answer. Thrown inside a std::system_error, beside the errno
// codes of the platform's own failures, so a caller catches both in one place.
enum class AccessAuditError {
    volumeCapacityUnavailable = 1,
};

const std::error_category& accessAuditCategory();
std::error_code make_error_code(AccessAuditError error);

} // namespace quillmere

template <> struct std::is_error_code_enum<quillmere::AccessAuditError> : std::true_type {};
