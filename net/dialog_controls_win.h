// Routines for the controls of a dialog: centring it, its fonts, item texts,
// the link control's text and the picture control's size. None keeps state.
#pragma once

#include <windows.h>

#include <string>

#include "text/win_handles.h"

namespace orvix {

// Moves the window to the middle of the desktop work area, measured from the
// screen origin, keeping its size, and repaints it.
void CenterWindow(HWND window);

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 and later, Wine), else the screen's vertical pixels per inch. 96 at
// 100 % display scale.
int WindowDpi(HWND window);

// A copy of the window's current font with the given weight, underline and
// size in points (at the window's DPI). The caller owns it.
win::UniqueFont CreateDialogFont(HWND window, bool bold, int points, bool underline);
// The same with the character height in pixels.
win::UniqueFont CreateDialogFontOfHeight(HWND window, bool bold, int pixels, bool underline);

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
