// The security-code renderings on known bitmaps, under Wine: the grey and
// black-white conversions pixel by pixel, and ShowCaptcha into a real
// picture control, read back from the control. And the sound's driver,
// which must stay loaded after the device closes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "quota/captcha_win.h"
#include "quota/sound_win.h"
#include "resources/resource_ids.h"
#include "text/platform.h"
#include "text/win_handles.h"

namespace orvix {
namespace {

struct Bgra {
  std::uint8_t b, g, r, a;
};

class CaptchaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gdiplus_ = std::make_unique<win::GdiplusScope>(); }
  static void TearDownTestSuite() { gdiplus_.reset(); }
  static std::unique_ptr<win::GdiplusScope> gdiplus_;
};
std::unique_ptr<win::GdiplusScope> CaptchaTest::gdiplus_;

// A 32-bit ARGB bitmap with the given pixels, row by row.
std::unique_ptr<TGPBitmap> MakeBitmap(int width, int height, const std::function<Bgra(int, int)>& pixel) {
  auto bitmap = std::make_unique<TGPBitmap>(width, height, PixelFormat32bppARGB);
  Gdiplus::BitmapData data{};
  EXPECT_EQ(bitmap->LockBits(Gdiplus::Rect(0, 0, width, height), Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB,
                             &data),
            Gdiplus::Ok);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<Bgra*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride / 4;
    for (int x = 0; x < width; ++x) row[x] = pixel(x, y);
  }
  bitmap->UnlockBits(&data);
  return bitmap;
}

std::vector<Bgra> ReadPixels(TGPBitmap& bitmap) {
  const int width = static_cast<int>(bitmap.GetWidth()), height = static_cast<int>(bitmap.GetHeight());
  std::vector<Bgra> out;
  Gdiplus::BitmapData data{};
  if (bitmap.LockBits(Gdiplus::Rect(0, 0, width, height), Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return out;
  }
  for (int y = 0; y < height; ++y) {
    const auto* row = static_cast<const Bgra*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride / 4;
    out.insert(out.end(), row, row + width);
  }
  bitmap.UnlockBits(&data);
  return out;
}

// A platform bitmap's pixels, top-down, 32 bits each; its size in *width
// and *height.
std::vector<Bgra> ReadHbitmap(HBITMAP bitmap, int* width, int* height) {
  BITMAP info{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof info, &info)) return {};
  *width = info.bmWidth;
  *height = info.bmHeight;
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<Bgra> out(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
  const win::WindowDc screen(nullptr);
  if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight), out.data(), &header, DIB_RGB_COLORS) !=
      info.bmHeight) {
    return {};
  }
  return out;
}

// A 24-bit BMP file of the given size and colours.
void WriteBmp(const std::string& path, int width, int height, const std::function<Bgra(int, int)>& pixel) {
  const int stride = (width * 3 + 3) & ~3;
  std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(stride) * height);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &file[54 + static_cast<std::size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      const Bgra c = pixel(x, y);
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
}

std::string TempPath(const char* name) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

TEST_F(CaptchaTest, GreyUsesTheWeightsInMemoryOrderAndKeepsAlpha) {
  const std::vector<Bgra> in = {{255, 0, 0, 200}, {0, 0, 255, 10}, {255, 255, 255, 255}, {0, 255, 0, 0},
                                {0, 0, 0, 77},    {10, 20, 30, 1}};
  // 16-bit arithmetic, shifted by 8: the first three are the documented cases.
  const std::vector<std::uint8_t> expected = {76, 27, 255, 150, 0, (77 * 10 + 151 * 20 + 28 * 30) >> 8};
  // A non-square bitmap, several rows, so the row step is exercised.
  const int width = static_cast<int>(in.size()), height = 3;
  auto bitmap = MakeBitmap(width, height, [&](int x, int) { return in[static_cast<std::size_t>(x)]; });
  ToGrey(*bitmap);
  const std::vector<Bgra> out = ReadPixels(*bitmap);
  ASSERT_EQ(out.size(), in.size() * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Bgra p = out[static_cast<std::size_t>(y * width + x)];
      SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
      EXPECT_EQ(p.b, expected[static_cast<std::size_t>(x)]);
      EXPECT_EQ(p.g, p.b);
      EXPECT_EQ(p.r, p.b);
      EXPECT_EQ(p.a, in[static_cast<std::size_t>(x)].a);
    }
  }
  EXPECT_EQ(bitmap->GetLastStatus(), Gdiplus::Ok);
}

TEST_F(CaptchaTest, BitmapsWithoutPixelsAndFailedObjectsAreHarmless) {
  TGPBitmap empty(0, 0, PixelFormat32bppARGB);
  EXPECT_NE(empty.GetLastStatus(), Gdiplus::Ok);  // creation failed and was recorded
  EXPECT_EQ(empty.GetWidth(), 0u);
  ToGrey(empty);
  const auto bw = ToBlackWhite(empty);
  ASSERT_NE(bw, nullptr);
  EXPECT_EQ(bw->GetWidth(), 0u);
  HBITMAP handle = reinterpret_cast<HBITMAP>(1);
  EXPECT_NE(bw->GetHBITMAP(0, &handle), Gdiplus::Ok);
  EXPECT_EQ(handle, nullptr);
  TGPGraphics onNothing(&empty);
  EXPECT_NE(onNothing.DrawImage(&empty, 0, 0, 10, 10), Gdiplus::Ok);

  TGPBitmap missing(std::wstring(L"Z:\\no\\such\\file.jpg"));
  EXPECT_NE(missing.GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(missing.GetHeight(), 0u);
}

TEST_F(CaptchaTest, BlackWhiteSplitsTheGreyTonesAtTheMiddle) {
  // Every grey tone twice across, in a bitmap whose width is no multiple of
  // 32 (the 1-bit rows are padded).
  const int width = 509, height = 7;
  auto bitmap = MakeBitmap(width, height, [](int x, int) {
    const auto v = static_cast<std::uint8_t>(x / 2);
    return Bgra{v, v, v, 255};
  });
  const auto bw = ToBlackWhite(*bitmap);
  ASSERT_EQ(bw->GetWidth(), static_cast<UINT>(width));
  ASSERT_EQ(bw->GetHeight(), static_cast<UINT>(height));
  const std::vector<Bgra> out = ReadPixels(*bw);
  ASSERT_EQ(out.size(), static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int grey = x / 2;
      const Bgra p = out[static_cast<std::size_t>(y * width + x)];
      SCOPED_TRACE(testing::Message() << "grey " << grey << " at " << x << "," << y);
      EXPECT_TRUE((p.b == 0 && p.g == 0 && p.r == 0) || (p.b == 255 && p.g == 255 && p.r == 255));
      EXPECT_EQ(p.b, grey >= 128 ? 255 : 0);
    }
  }
}

// A dialog stand-in: a window with the picture control of the quota dialog.
class PictureWindow {
 public:
  PictureWindow() {
    window_.reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr));
    picture_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_BITMAP, 0, 0, 10, 10, window_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CAPTCHA_IMAGE)), nullptr, nullptr);
  }
  HWND get() const { return window_.get(); }
  HBITMAP Image() const {
    return reinterpret_cast<HBITMAP>(::SendMessageW(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0));
  }
  std::vector<Bgra> Pixels(int* width, int* height) const { return ReadHbitmap(Image(), width, height); }

 private:
  win::UniqueWindow window_;
  HWND picture_ = nullptr;
};

TEST_F(CaptchaTest, ShowCaptchaScalesAnySourceTo242By80InEachRendering) {
  PictureWindow dialog;
  ASSERT_NE(dialog.get(), nullptr);
  // Large and wide: left half red, right half blue; and small and tall:
  // top green, bottom dark grey.
  struct Case {
    const char* name;
    int width, height;
    std::function<Bgra(int, int)> pixel;
    Bgra topLeft, bottomRight;  // expected colours at the canvas corners
  };
  const std::vector<Case> cases = {
      {"wide.bmp", 1600, 200, [](int x, int) { return x < 800 ? Bgra{0, 0, 255, 255} : Bgra{255, 0, 0, 255}; },
       {0, 0, 255, 255}, {255, 0, 0, 255}},
      {"tall.bmp", 9, 31, [](int, int y) { return y < 15 ? Bgra{0, 255, 0, 255} : Bgra{40, 40, 40, 255}; },
       {0, 255, 0, 255}, {40, 40, 40, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = TempPath(c.name);
    WriteBmp(path, c.width, c.height, c.pixel);
    std::vector<Bgra> colour;
    for (int mode = 0; mode < 3; ++mode) {
      SCOPED_TRACE(testing::Message() << "mode " << mode);
      ShowCaptcha(dialog.get(), platform::AnsiToWide(path), mode >= 1, mode == 2);
      int width = 0, height = 0;
      const std::vector<Bgra> px = dialog.Pixels(&width, &height);
      ASSERT_EQ(width, kCaptchaWidth);
      ASSERT_EQ(height, kCaptchaHeight);
      ASSERT_EQ(px.size(), static_cast<std::size_t>(width * height));
      // Inside the two regions, away from the scaled edges and the seam.
      const Bgra& tl = px[static_cast<std::size_t>(height / 4 * width + width / 4)];
      const Bgra& br = px[static_cast<std::size_t>(3 * height / 4 * width + 3 * width / 4)];
      auto grey = [](const Bgra& p) { return (77 * p.b + 151 * p.g + 28 * p.r) >> 8; };
      if (mode == 0) {
        colour = px;
        EXPECT_EQ((std::vector<int>{tl.b, tl.g, tl.r}), (std::vector<int>{c.topLeft.b, c.topLeft.g, c.topLeft.r}));
        EXPECT_EQ((std::vector<int>{br.b, br.g, br.r}),
                  (std::vector<int>{c.bottomRight.b, c.bottomRight.g, c.bottomRight.r}));
        continue;
      }
      for (std::size_t i = 0; i < px.size(); ++i) {
        const int g = grey(colour[i]);
        // Edge pixels the scaling left part transparent come back blended
        // over black, which may move them by one step.
        ASSERT_EQ(px[i].g, px[i].b) << "pixel " << i;
        ASSERT_EQ(px[i].r, px[i].b) << "pixel " << i;
        if (mode == 1) {
          ASSERT_LE(std::abs(px[i].b - g), 1) << "pixel " << i;
        } else {
          ASSERT_TRUE(px[i].b == 0 || px[i].b == 255) << "pixel " << i;
          if (g >= 130 || g <= 125) {
            ASSERT_EQ(px[i].b, g >= 128 ? 255 : 0) << "pixel " << i;
          }
        }
      }
    }
    std::remove(path.c_str());
  }
}

TEST_F(CaptchaTest, MissingOrBrokenFilesDrawNothing) {
  PictureWindow dialog;
  ShowCaptcha(dialog.get(), platform::AnsiToWide(TempPath("no-such-jcaptcha.jpg")), false, false);
  ShowCaptcha(dialog.get(), u"", true, true);
  EXPECT_EQ(dialog.Image(), nullptr);

  // The portal's error page saved where the picture should be.
  const std::string page = TempPath("html-as-jcaptcha.jpg");
  std::ofstream(page, std::ios::binary) << "<html><body><table><tr><td>Hata</td></tr></table></body></html>";
  for (int mode = 0; mode < 3; ++mode) {
    ShowCaptcha(dialog.get(), platform::AnsiToWide(page), mode >= 1, mode == 2);
    int width = 0, height = 0;
    for (const Bgra& p : dialog.Pixels(&width, &height)) {
      ASSERT_EQ(p.b | p.g | p.r, 0) << "mode " << mode;  // an empty picture, never the old one
    }
  }
  std::remove(page.c_str());

  // The portal's picture cut halfway (a connection that broke): whatever
  // the decoder makes of it, it returns and the picture has the full size.
  const char* source = std::getenv("ORVIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream in(std::string(source) + "/tools/fake-network/scenarios/portal/jcaptcha.jpg", std::ios::binary);
  const std::string jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(jpeg.size(), 1000u);
  const std::string cut = TempPath("cut-jcaptcha.jpg");
  std::ofstream(cut, std::ios::binary) << jpeg.substr(0, jpeg.size() / 2);
  for (int mode = 0; mode < 3; ++mode) {
    ShowCaptcha(dialog.get(), platform::AnsiToWide(cut), mode >= 1, mode == 2);
    int width = 0, height = 0;
    dialog.Pixels(&width, &height);
    EXPECT_EQ(width, kCaptchaWidth);
  }
  std::remove(cut.c_str());
}

// The wave driver's playback thread can still be inside the driver when the
// last close returns; were the driver unloaded then, the thread would run
// into unmapped memory (the dialog vanished at the end of the spoken code).
// Whatever the timing, the driver is still there after the close.
TEST_F(CaptchaTest, SoundDriverStaysLoadedAfterItsDeviceCloses) {
  const char* source = std::getenv("ORVIX_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::string wav = std::string(source) + "/tools/fake-network/scenarios/portal/jcaptcha.wav";
  PictureWindow dialog;
  for (int round = 0; round < 2; ++round) {
    TSoundPlayer player;
    player.PlaySoundFile(dialog.get(), nullptr, platform::AnsiToWide(wav));
    ASSERT_NE(player.Device(), 0u) << "round " << round;
    ASSERT_NE(::GetModuleHandleW(L"mciwave.dll"), nullptr);
    ASSERT_TRUE(player.StopSound());
    EXPECT_NE(::GetModuleHandleW(L"mciwave.dll"), nullptr) << "round " << round;
  }
}

}  // namespace
}  // namespace orvix
