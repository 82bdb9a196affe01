#include "access/AccessAuditError.hpp"

#include <string>

namespace quillmere {
namespace {

class AccessAuditCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "access-audit"; }
    std::string message(int condition) const override {
        switch (static_cast<AccessAuditError>(condition)) {
        case AccessAuditError::volumeCapacityUnavailable:
            return "The volume's capacity can't be read.";
        }
        return "Unknown access audit error.";
    }
};

} // namespace

const std::error_category& accessAuditCategory() {
    static const AccessAuditCategory category;
    return category;
}

std::error_code make_error_code(AccessAuditError error) {
    return {static_cast<int>(error), accessAuditCategory()};
}

} // namespace quillmere
