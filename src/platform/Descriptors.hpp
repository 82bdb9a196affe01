#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace quillmere::platform {

// Raises the soft limit on open descriptors (RLIMIT_NOFILE) to the hard limit, as early as
// the process starts: a scan keeps many folders open. Returns the soft limit now in force.
int64_t raiseDescriptorLimit();

// The soft limit on open descriptors now in force.
int64_t descriptorLimit();

// How many descriptors this process has open; when that cannot be read, half the limit.
int64_t openDescriptorCount();

// Whether an error says the process or the system ran out of descriptors: a shortage to wait
// out, never a refusal of the item asked for.
inline bool isDescriptorShortage(int error) {
    return error == EMFILE || error == ENFILE;
}

// A descriptor was closed that someone waiting in waitForReleasedDescriptor may use. Costs an
// atomic read while nobody waits.
void noteDescriptorReleased() noexcept;

// Waits until noteDescriptorReleased is called or `slice` passes (descriptors closed elsewhere
// in the process are not announced).
void waitForReleasedDescriptor(std::chrono::milliseconds slice = std::chrono::milliseconds(20));

// Runs `open` (returning a descriptor, or -1 with errno) until it gives a descriptor or fails
// with anything but a shortage. During a shortage it waits between tries, at most `patience`
// in all or until `stop()` holds. Returns the last answer, its errno kept.
template <class Open, class Stop>
int openWaitingForDescriptor(Open open, Stop stop,
                             std::chrono::seconds patience = std::chrono::seconds(300)) {
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (true) {
        const int fd = open();
        const int error = errno;
        if (fd >= 0 || !isDescriptorShortage(error) || stop() || std::chrono::steady_clock::now() >= giveUp) {
            errno = error;
            return fd;
        }
        waitForReleasedDescriptor();
    }
}

} // namespace quillmere::platform
