// Pixels of the screen or of a bitmap, and 32-bit BMP files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace uidriver {

// 32-bit pixels, rows top-down, each pixel the bytes blue, green, red, x in
// memory order (as a 32-bit DIB holds them).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const Image&) const = default;
};

// What the screen shows in a rectangle of screen coordinates. The fourth
// byte of each pixel is set to 255.
bool CaptureScreen(const RECT& area, Image& out);

// Like CaptureScreen, but takes the picture again until two captures in a
// row agree (the target may still be painting or its window contents may
// not have reached the display yet); gives up after about a second and keeps
// the last.
bool CaptureScreenSettled(const RECT& area, Image& out);

// The pixels of a bitmap handle, when this process can read it (a handle of
// another process usually cannot be: then false).
bool ReadBitmap(HBITMAP bitmap, Image& out);

// Writes a bottom-up 32-bit BI_RGB BMP file.
bool WriteBmp(const std::wstring& path, const Image& image);

}  // namespace uidriver
