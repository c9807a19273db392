#include "quota/gdiplus_win.h"

#include <new>

#include "text/win_handles.h"

namespace orvix {

namespace flat = Gdiplus::DllExports;

void* TGdiplusBase::operator new(std::size_t size) {
  void* p = flat::GdipAlloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}

void TGdiplusBase::operator delete(void* p) noexcept {
  if (p) flat::GdipFree(p);
}

GpStatus TGdiplusBase::Record(GpStatus status) {
  if (status != Gdiplus::Ok) lastStatus_ = status;
  return status;
}

GpStatus TGdiplusBase::GetLastStatus() {
  const GpStatus status = lastStatus_;
  lastStatus_ = Gdiplus::Ok;
  return status;
}

// --- TGPImage ---------------------------------------------------------------

TGPImage::~TGPImage() {
  if (image_) flat::GdipDisposeImage(image_);
}

void TGPImage::Adopt(Gdiplus::GpImage* image, GpStatus status) {
  if (image_) flat::GdipDisposeImage(image_);
  image_ = status == Gdiplus::Ok ? image : nullptr;
  // A failed creation may still have written something to the out slot.
  if (status != Gdiplus::Ok && image) flat::GdipDisposeImage(image);
  Record(status == Gdiplus::Ok && !image ? Gdiplus::GenericError : status);
}

UINT TGPImage::GetWidth() {
  UINT width = 0;
  if (!image_) return Record(Gdiplus::InvalidParameter), 0;
  if (Record(flat::GdipGetImageWidth(image_, &width)) != Gdiplus::Ok) return 0;
  return width;
}

UINT TGPImage::GetHeight() {
  UINT height = 0;
  if (!image_) return Record(Gdiplus::InvalidParameter), 0;
  if (Record(flat::GdipGetImageHeight(image_, &height)) != Gdiplus::Ok) return 0;
  return height;
}

// --- TGPBitmap --------------------------------------------------------------

TGPBitmap::TGPBitmap(const std::wstring& fileName) {
  Gdiplus::GpBitmap* bitmap = nullptr;
  const GpStatus status = flat::GdipCreateBitmapFromFile(fileName.c_str(), &bitmap);
  Adopt(bitmap, status);
}

TGPBitmap::TGPBitmap(INT width, INT height, Gdiplus::PixelFormat format) {
  Gdiplus::GpBitmap* bitmap = nullptr;
  const GpStatus status = flat::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap);
  Adopt(bitmap, status);
}

TGPBitmap::TGPBitmap(HBITMAP source, HPALETTE palette) {
  Gdiplus::GpBitmap* bitmap = nullptr;
  const GpStatus status = flat::GdipCreateBitmapFromHBITMAP(source, palette, &bitmap);
  Adopt(bitmap, status);
}

GpStatus TGPBitmap::LockBits(const Gdiplus::Rect& rect, UINT flags, Gdiplus::PixelFormat format,
                             Gdiplus::BitmapData* data) {
  if (!Bitmap()) return Record(Gdiplus::InvalidParameter);
  return Record(flat::GdipBitmapLockBits(Bitmap(), &rect, flags, format, data));
}

GpStatus TGPBitmap::UnlockBits(Gdiplus::BitmapData* data) {
  if (!Bitmap()) return Record(Gdiplus::InvalidParameter);
  return Record(flat::GdipBitmapUnlockBits(Bitmap(), data));
}

GpStatus TGPBitmap::GetHBITMAP(Gdiplus::ARGB background, HBITMAP* bitmap) {
  *bitmap = nullptr;
  if (!Bitmap()) return Record(Gdiplus::InvalidParameter);
  const GpStatus status = Record(flat::GdipCreateHBITMAPFromBitmap(Bitmap(), bitmap, background));
  if (status != Gdiplus::Ok) {
    // Whatever a failed call left in the slot is not the caller's to free.
    const win::UniqueBitmap partial(*bitmap);
    *bitmap = nullptr;
  }
  return status;
}

// --- TGPGraphics ------------------------------------------------------------

TGPGraphics::TGPGraphics(TGPImage* image) {
  if (!image || !image->Native()) {
    Record(Gdiplus::InvalidParameter);
    return;
  }
  Gdiplus::GpGraphics* graphics = nullptr;
  if (Record(flat::GdipGetImageGraphicsContext(image->Native(), &graphics)) == Gdiplus::Ok) graphics_ = graphics;
}

TGPGraphics::~TGPGraphics() {
  if (graphics_) flat::GdipDeleteGraphics(graphics_);
}

GpStatus TGPGraphics::DrawImage(TGPImage* image, INT x, INT y, INT width, INT height) {
  if (!graphics_ || !image || !image->Native()) return Record(Gdiplus::InvalidParameter);
  return Record(flat::GdipDrawImageRectI(graphics_, image->Native(), x, y, width, height));
}

}  // namespace orvix
