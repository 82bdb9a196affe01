#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

// What one run of a command-line tool gave.
struct CommandResult {
    std::string output;      // standard output as UTF-8; empty when the tool did not run to its end,
                             // the bytes are not UTF-8, or there were more than the cap
    std::string errorOutput; // standard error, or the runner's own failure text
    int32_t exitCode = -1;   // the tool's termination status; -1 when the runner failed

    bool operator==(const CommandResult&) const = default;
};

// The most a run keeps of each stream; the rest is read and dropped so the tool never stalls.
inline constexpr size_t kCommandOutputCap = 4 * 1024 * 1024;

// Runs the executable at the absolute `path` with `arguments`, its standard input /dev/null,
// LC_ALL=C and no descriptor of ours but the two pipes, and waits at most `timeoutSeconds`.
// Both pipes are drained while it runs. On time-out the tool gets SIGTERM, then SIGKILL 100 ms
// later; the child is always reaped before this returns. Never throws.
CommandResult runCommand(const std::string& path, const std::vector<std::string>& arguments,
                         double timeoutSeconds);

// "1.0" for 1, "0.25" for 0.25: the shortest decimal text that reads back as the same double.
std::string shortestSecondsText(double seconds);

} // namespace quillmere
