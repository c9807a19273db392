// Where the program finds things on the system: the user's temporary and
// shell folders, and whether a file exists. None keeps state.
#pragma once

#include <windows.h>

#include <string>

namespace orvix {

// The user's temporary folder as GetTempPathW gives it, normally ending in a
// backslash; empty when it cannot be read. Wide, so that a user name the
// system code page cannot write (Çağrı on a Western Windows) still works.
std::u16string TempFolder();

// Whether a path names an existing file, not a folder; false for an empty
// path. AnsiFileExists takes an 8-bit path in the system code page.
bool FileExists(const std::u16string& path);
bool AnsiFileExists(const std::string& path);

// A shell folder (CSIDL_* id) at its default path; empty when the call
// fails.
std::u16string SpecialFolder(int csidl);

}  // namespace orvix
