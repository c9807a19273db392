// Process-wide values of one run: who started us and which window a running
// quota query can be reached through. Set by the dispatcher and the quota
// start-up on the main thread, read by the jobs; cleared at exit.
#pragma once

#include <windows.h>

#include <string>

namespace orvix {

// The parent's window from argument 2 (0 when missing or not a number).
extern HWND ParentWindow;
// Argument 3 of -getmyip, -tracker, -newuser and -getversion ("newuserid"
// when empty), in the system code page: used in referrers and counters.
extern std::string PageName;
// The hidden window of a running quota query; 0 in every other job.
extern HWND InstanceWindow;

// Forgets all of the above (end of process).
void ClearProcessState();

}  // namespace orvix
