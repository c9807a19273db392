// The security-code picture: the saved image drawn into the dialog's picture
// control in colour, grey tones or black and white, for users who cannot
// read the coloured code.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "quota/dialog_layout.h"
#include "quota/gdiplus_win.h"

namespace orvix {

// Draws the image file scaled to size (the 96-DPI kCaptchaWidth x
// kCaptchaHeight scaled by the dialog's DPI) into the dialog's picture
// control (IDC_CAPTCHA_IMAGE), which is sized to the picture: in colour, in
// grey tones (grey), or in black and white (blackWhite, which implies grey
// first; made from the grey picture at its final size, so it stays pure
// black and white at any size). Does nothing when the file does not exist;
// a file the graphics library cannot read leaves an empty (black) picture.
// Never throws.
void ShowCaptcha(HWND dialog, const std::u16string& imagePath, bool grey, bool blackWhite,
                 SIZE size = {kCaptchaWidth, kCaptchaHeight});

// Turns a bitmap into grey tones in place. Each pixel's three colour bytes,
// in memory order b0 b1 b2, become (77*b0 + 151*b1 + 28*b2) >> 8; alpha is
// kept. A bitmap without pixels is left alone.
void ToGrey(TGPBitmap& bitmap);

// A black-and-white copy of the bitmap: each pixel becomes the nearer of
// black and white, through a 1-bit device-independent bitmap. Meant for a
// grey bitmap (ToGrey first). Returns a bitmap whose status tells whether
// that worked; never null.
std::unique_ptr<TGPBitmap> ToBlackWhite(TGPBitmap& bitmap);

}  // namespace orvix
