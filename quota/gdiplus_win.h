// Thin owners over the flat GDI+ interface, for the security-code picture.
//
// Conventions of this file:
// - Each object owns exactly one GDI+ handle and releases it in its
//   destructor; objects are neither copied nor moved, so a handle can never
//   be released twice. Hold them on the stack or in std::unique_ptr.
// - Nothing throws (except operator new when the library's allocator is
//   out of memory). A failing call stores its status in the object, which
//   GetLastStatus() hands back and clears; the object stays usable, and a
//   later call on a failed object fails in turn with the same status.
// - Instances come from the library's allocator, like every other GDI+
//   object, so they can be handed to code that frees them the same way.
#pragma once

#include <windows.h>
// GDI+ needs the COM property types that the lean Windows header leaves out.
#include <objbase.h>
#include <gdiplus.h>

#include <cstddef>
#include <memory>
#include <string>

namespace orvix {

using GpStatus = Gdiplus::GpStatus;

class TGdiplusBase {
 public:
  static void* operator new(std::size_t size);
  static void operator delete(void* p) noexcept;
  static void* operator new[](std::size_t) = delete;
  static void operator delete[](void*) = delete;

  // The status of the last failing call (Ok when none), cleared by reading.
  GpStatus GetLastStatus();

 protected:
  TGdiplusBase() = default;
  ~TGdiplusBase() = default;
  // Keeps a failing status; returns the status.
  GpStatus Record(GpStatus status);

 private:
  GpStatus lastStatus_ = Gdiplus::Ok;
};

class TGPImage : public TGdiplusBase {
 public:
  TGPImage(const TGPImage&) = delete;
  TGPImage& operator=(const TGPImage&) = delete;
  virtual ~TGPImage();

  // 0 when the image has no handle or the call fails.
  UINT GetWidth();
  UINT GetHeight();

  Gdiplus::GpImage* Native() const { return image_; }

 protected:
  TGPImage() = default;
  // Takes over a handle the library created (or null with the status of the
  // failed creation).
  void Adopt(Gdiplus::GpImage* image, GpStatus status);

 private:
  Gdiplus::GpImage* image_ = nullptr;
};

class TGPBitmap : public TGPImage {
 public:
  // From an image file (any format the library reads), without applying
  // colour management embedded in the file.
  explicit TGPBitmap(const std::wstring& fileName);
  // An empty bitmap of the size and pixel format.
  TGPBitmap(INT width, INT height, Gdiplus::PixelFormat format);
  // A copy of a platform bitmap's pixels (no palette); the handle stays the
  // caller's.
  TGPBitmap(HBITMAP bitmap, HPALETTE palette);

  GpStatus LockBits(const Gdiplus::Rect& rect, UINT flags, Gdiplus::PixelFormat format, Gdiplus::BitmapData* data);
  GpStatus UnlockBits(Gdiplus::BitmapData* data);
  // A new platform bitmap of the pixels, alpha blended over background;
  // the caller owns it. *bitmap is null on failure.
  GpStatus GetHBITMAP(Gdiplus::ARGB background, HBITMAP* bitmap);

 private:
  Gdiplus::GpBitmap* Bitmap() const { return reinterpret_cast<Gdiplus::GpBitmap*>(Native()); }
};

class TGPGraphics : public TGdiplusBase {
 public:
  // A drawing context on the image (which must outlive it).
  explicit TGPGraphics(TGPImage* image);
  TGPGraphics(const TGPGraphics&) = delete;
  TGPGraphics& operator=(const TGPGraphics&) = delete;
  virtual ~TGPGraphics();

  // Draws the whole image scaled into the rectangle.
  GpStatus DrawImage(TGPImage* image, INT x, INT y, INT width, INT height);

 private:
  Gdiplus::GpGraphics* graphics_ = nullptr;
};

}  // namespace orvix
