#include "platform/Bounded.hpp"

#include <cerrno>
#include <string>
#include <utility>

namespace quillmere::platform {

int statVfsWithin(const char* path, struct statvfs* info, std::chrono::milliseconds limit) {
    struct Outcome {
        int result = -1;
        int error = 0;
        struct statvfs info {};
    };
    const std::optional<Outcome> outcome = callWithin<Outcome>(limit, [path = std::string(path)] {
        Outcome answer;
        answer.result = ::statvfs(path.c_str(), &answer.info);
        answer.error = errno;
        return answer;
    });
    if (!outcome) {
        errno = ETIMEDOUT;
        return -1;
    }
    if (outcome->result != 0) {
        errno = outcome->error;
        return -1;
    }
    *info = outcome->info;
    return 0;
}

} // namespace quillmere::platform
