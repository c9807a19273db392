// Where the program finds things on the system: its own resource texts, the
// user's temporary and shell folders, and whether a file exists. None keeps
// state.
#pragma once

#include <windows.h>

#include <string>

namespace orvix {

// A string resource of the program (at most 1023 characters); empty when no
// module has it.
std::u16string LoadResText(UINT id);

// The user's temporary folder as GetTempPathA gives it, normally ending in a
// backslash; empty when it cannot be read.
std::string TempFolder();

// Whether an 8-bit (system code page) path names an existing file, not a
// folder; false for an empty path.
bool AnsiFileExists(const std::string& path);

// A shell folder (CSIDL_* id) at its default path; empty when the call
// fails.
std::u16string SpecialFolder(int csidl);

}  // namespace orvix
