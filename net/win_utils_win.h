// Small Windows routines shared by the quota dialog, the settings code and
// the usage counters. None keeps state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "text/win_handles.h"

namespace orvix {

// Milliseconds since 1970-01-01 00:00 UTC, computed from the local clock and
// the zone bias (standard or daylight, as the zone reports), so machines in
// different zones give the same value at the same instant.
std::int64_t UnixTimeMs();

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

// Moves the window to the middle of the desktop work area, measured from the
// screen origin, keeping its size, and repaints it.
void CenterWindow(HWND window);

// A copy of the window's current font with the given weight, underline and
// size in points (for the screen's vertical resolution). The caller owns it.
win::UniqueFont CreateDialogFont(HWND window, bool bold, int points, bool underline);

// Sets a dialog item's font and redraws it. The font must outlive the item.
void SetItemFont(HWND dialog, int item, HFONT font);

// Sets the text of a link control ("SysLink"). Where the control does not
// take the links of the text (some link controls accept only a bare "<a>"
// tag and show '<a id="...">' as plain text), the text is set again with the
// tags' attributes dropped: the links keep their order and indices.
void SetLinkText(HWND link, const std::u16string& text);

// Sizes a picture control so that its client area is exactly the size of
// the bitmap it shows (its border around it); nothing when it shows none.
void FitPictureToBitmap(HWND picture);

// Text of a dialog item, and setting it (empty text clears it).
std::u16string GetItemText(HWND dialog, int item);
void SetItemText(HWND dialog, int item, const std::u16string& text);

}  // namespace orvix
