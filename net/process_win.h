// Starting another program (the page-view counter runs as a process of its
// own beside the quota query).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace orvix {

// Starts "program arguments" with the given show-window value and the
// caller's standard handles (inherited), and waits up to timeoutMs for its
// end. Returns the child's exit code when it ended within the time-out (0
// when the code cannot be read), -1 when it could not be started or is still
// running. A time-out of 0 only looks.
std::int32_t RunProcess(const std::string& program, const std::string& arguments, int show,
                        DWORD timeoutMs);

}  // namespace orvix
