#include "capture_win.h"

#include <cstring>

#include "text/win_handles.h"

namespace uidriver {

namespace {

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

template <typename T>
void Put(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));  // little-endian, as BMP wants
  out.append(bytes, sizeof(T));
}

}  // namespace

bool CaptureScreen(const RECT& area, Image& out) {
  const int w = area.right - area.left;
  const int h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return false;
  orvix::win::WindowDc screen(nullptr);
  if (!screen) return false;
  orvix::win::UniqueDc memory(::CreateCompatibleDC(screen.get()));
  if (!memory) return false;
  BITMAPINFO bi = TopDown32(w, h);
  void* bits = nullptr;
  orvix::win::UniqueBitmap section(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || !bits) return false;
  {
    orvix::win::ScopedSelectObject select(memory.get(), section.get());
    if (!::BitBlt(memory.get(), 0, 0, w, h, screen.get(), area.left, area.top, SRCCOPY | CAPTUREBLT)) return false;
    ::GdiFlush();
  }
  out.width = w;
  out.height = h;
  const auto* p = static_cast<const std::uint32_t*>(bits);
  out.pixels.assign(p, p + static_cast<std::size_t>(w) * h);
  for (auto& px : out.pixels) px |= 0xFF000000u;
  return true;
}

bool CaptureScreenSettled(const RECT& area, Image& out) {
  Image previous;
  if (!CaptureScreen(area, previous)) return false;
  for (int attempt = 0; attempt < 20; ++attempt) {
    ::Sleep(50);
    Image next;
    if (!CaptureScreen(area, next)) return false;
    const bool same = next == previous;
    previous = std::move(next);
    if (same) break;
  }
  out = std::move(previous);
  return true;
}

bool ReadBitmap(HBITMAP bitmap, Image& out) {
  BITMAP bm{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0)
    return false;
  orvix::win::WindowDc screen(nullptr);
  if (!screen) return false;
  BITMAPINFO bi = TopDown32(bm.bmWidth, bm.bmHeight);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight);
  if (::GetDIBits(screen.get(), bitmap, 0, bm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS) != bm.bmHeight)
    return false;
  out.width = bm.bmWidth;
  out.height = bm.bmHeight;
  out.pixels = std::move(pixels);
  return true;
}

bool WriteBmp(const std::wstring& path, const Image& image) {
  const std::uint32_t rowBytes = static_cast<std::uint32_t>(image.width) * 4;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(image.height);
  std::string data;
  data.reserve(54 + imageBytes);
  // BITMAPFILEHEADER
  data += "BM";
  Put<std::uint32_t>(data, 54 + imageBytes);
  Put<std::uint32_t>(data, 0);
  Put<std::uint32_t>(data, 54);
  // BITMAPINFOHEADER, bottom-up
  Put<std::uint32_t>(data, 40);
  Put<std::int32_t>(data, image.width);
  Put<std::int32_t>(data, image.height);
  Put<std::uint16_t>(data, 1);
  Put<std::uint16_t>(data, 32);
  Put<std::uint32_t>(data, BI_RGB);
  Put<std::uint32_t>(data, imageBytes);
  Put<std::int32_t>(data, 2835);  // 72 dpi
  Put<std::int32_t>(data, 2835);
  Put<std::uint32_t>(data, 0);
  Put<std::uint32_t>(data, 0);
  for (int y = image.height - 1; y >= 0; --y)
    data.append(reinterpret_cast<const char*>(image.pixels.data() + static_cast<std::size_t>(y) * image.width), rowBytes);

  orvix::win::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
         written == data.size();
}

}  // namespace uidriver
