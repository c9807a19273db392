#include "quota/captcha_win.h"

#include <cstdint>

#include "net/dialog_controls_win.h"
#include "net/folders_win.h"
#include "resources/resource_ids.h"
#include "text/platform.h"
#include "text/win_handles.h"

namespace orvix {

namespace {

// The bitmap the picture control shows when it uses ours instead of taking
// a copy (it copies 32-bit bitmaps with alpha, but need not): it must live
// as long as the control shows it, and go when it is replaced.
win::UniqueBitmap g_sharedWithControl;

// Hands a new bitmap to the picture control and settles who frees what.
void SetPicture(HWND dialog, win::UniqueBitmap bitmap) {
  HWND picture = ::GetDlgItem(dialog, IDC_CAPTCHA_IMAGE);
  if (!picture) return;
  const auto previous = reinterpret_cast<HBITMAP>(
      ::SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
  const auto current = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  // The previous image is either the control's own copy (ours to free now,
  // or it leaks) or the bitmap we left with it last time.
  if (previous && previous != g_sharedWithControl.get()) {
    const win::UniqueBitmap controlsCopy(previous);
  }
  g_sharedWithControl.reset();
  if (current == bitmap.get()) {
    g_sharedWithControl = std::move(bitmap);
  }
  // Otherwise the control keeps a copy, and ours goes right away.
  FitPictureToBitmap(picture);
}

}  // namespace

void ToGrey(TGPBitmap& bitmap) {
  const UINT width = bitmap.GetWidth();
  const UINT height = bitmap.GetHeight();
  if (width == 0 || height == 0) return;
  const Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData data{};
  if (bitmap.LockBits(whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return;
  }
  auto* rows = static_cast<std::uint8_t*>(data.Scan0);
  for (UINT y = 0; y < height; ++y) {
    // 32-bit rows are width * 4 bytes; the stride says so too, and also
    // covers a bitmap stored bottom-up.
    std::uint8_t* p = rows + static_cast<std::ptrdiff_t>(y) * data.Stride;
    for (UINT x = 0; x < width; ++x, p += 4) {
      // The weights go with the bytes in memory order (blue, green, red).
      const auto g = static_cast<std::uint16_t>((77u * p[0] + 151u * p[1] + 28u * p[2]) >> 8);
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(g);
    }
  }
  bitmap.UnlockBits(&data);
}

std::unique_ptr<TGPBitmap> ToBlackWhite(TGPBitmap& bitmap) {
  const UINT width = bitmap.GetWidth();
  const UINT height = bitmap.GetHeight();

  HBITMAP sourceHandle = nullptr;
  bitmap.GetHBITMAP(0, &sourceHandle);
  const win::UniqueBitmap source(sourceHandle);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = static_cast<LONG>(width);
  info.header.biHeight = static_cast<LONG>(height);  // bottom-up
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  // Rows of a device-independent bitmap are padded to 4 bytes.
  info.header.biSizeImage = ((width + 31) / 32) * 4 * height;
  info.header.biXPelsPerMeter = 1000000;
  info.header.biYPelsPerMeter = 1000000;
  info.header.biClrUsed = 2;
  info.header.biClrImportant = 2;
  info.colours[0] = RGBQUAD{0, 0, 0, 0};
  info.colours[1] = RGBQUAD{255, 255, 255, 255};

  win::UniqueBitmap section;
  {
    const win::WindowDc screen(nullptr);
    void* bits = nullptr;
    if (screen && source && width > 0 && height > 0) {
      section.reset(::CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                       &bits, nullptr, 0));
    }
    if (section) {
      const win::UniqueDc sourceDc(::CreateCompatibleDC(screen.get()));
      const win::UniqueDc targetDc(::CreateCompatibleDC(screen.get()));
      if (sourceDc && targetDc) {
        const win::ScopedSelectObject selectSource(sourceDc.get(), source.get());
        const win::ScopedSelectObject selectTarget(targetDc.get(), section.get());
        // The copy matches each pixel to the nearer colour of the 1-bit
        // table: black or white.
        ::BitBlt(targetDc.get(), 0, 0, static_cast<int>(width), static_cast<int>(height), sourceDc.get(), 0, 0,
                 SRCCOPY);
      }
    }
  }
  // The new bitmap copies the section's pixels; the section (now selected
  // nowhere) and the source go when this returns.
  return std::make_unique<TGPBitmap>(section.get(), nullptr);
}

void ShowCaptcha(HWND dialog, const std::u16string& imagePath, bool grey, bool blackWhite, SIZE size) {
  if (!FileExists(imagePath)) return;
  const INT width = size.cx > 0 ? size.cx : kCaptchaWidth;
  const INT height = size.cy > 0 ? size.cy : kCaptchaHeight;
  try {
    const auto loaded = std::make_unique<TGPBitmap>(std::wstring(imagePath.begin(), imagePath.end()));
    const auto canvas = std::make_unique<TGPBitmap>(width, height, PixelFormat32bppARGB);
    {
      const auto graphics = std::make_unique<TGPGraphics>(canvas.get());
      // Scaled smoothly (the library's default filtering) at every size;
      // the grey and black-white steps work on the result.
      graphics->DrawImage(loaded.get(), 0, 0, width, height);
    }
    HBITMAP handle = nullptr;
    if (grey || blackWhite) ToGrey(*canvas);
    if (blackWhite) {
      const std::unique_ptr<TGPBitmap> blackAndWhite = ToBlackWhite(*canvas);
      blackAndWhite->GetHBITMAP(0, &handle);
    } else {
      canvas->GetHBITMAP(0, &handle);
    }
    SetPicture(dialog, win::UniqueBitmap(handle));
  } catch (...) {
    // Out of memory in the graphics library: the picture stays as it was.
  }
}

}  // namespace orvix
