// The small Windows utilities, under Wine.
#include "net/dialog_controls_win.h"
#include "net/folders_win.h"
#include "net/encoding.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>

namespace orvix {
namespace {

std::int64_t SystemUnixMs() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  const auto t = static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (t - 116444736000000000LL) / 10000;
}

// The zone of the process is whatever TZ gave Wine; the wire test runs the
// same computation under several zones. Here: agreement with the UTC clock.
TEST(UnixTimeMs, MatchesTheUtcClock) {
  const std::int64_t before = SystemUnixMs();
  const std::int64_t value = UnixTimeMs();
  const std::int64_t after = SystemUnixMs();
  EXPECT_GE(value, before - 1);
  EXPECT_LE(value, after + 1);
}

TEST(Folders, TempAndShellFolders) {
  const std::u16string temp = TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_NE(::GetFileAttributesW(reinterpret_cast<const wchar_t*>(temp.c_str())), INVALID_FILE_ATTRIBUTES);

  const std::u16string appData = SpecialFolder(CSIDL_APPDATA);
  EXPECT_FALSE(appData.empty());
  EXPECT_NE(appData.back(), u'\0');
  EXPECT_EQ(SpecialFolder(0x7F), u"");  // no such folder id
}

class DialogItems : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_.reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr, nullptr,
                                    nullptr));
    ASSERT_TRUE(parent_);
    edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 100, 20, parent_.get(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEdit)), nullptr, nullptr);
    ASSERT_NE(edit_, nullptr);
  }
  static constexpr int kEdit = 1001;
  win::UniqueWindow parent_;
  HWND edit_ = nullptr;
};

TEST_F(DialogItems, TextRoundTripsWideCharacters) {
  const std::u16string text = u"Güvenlik kodu: ĞÜŞİÖÇ ığüşöç";
  SetItemText(parent_.get(), kEdit, text);
  EXPECT_EQ(GetItemText(parent_.get(), kEdit), text);
  SetItemText(parent_.get(), kEdit, u"");
  EXPECT_EQ(GetItemText(parent_.get(), kEdit), u"");
  EXPECT_EQ(GetItemText(parent_.get(), 4242), u"");  // no such item
}

TEST_F(DialogItems, DialogFontFollowsTheRequest) {
  const win::WindowDc screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);

  win::UniqueFont bold = CreateDialogFont(parent_.get(), true, 14, false);
  ASSERT_TRUE(bold);
  LOGFONTW lf{};
  ASSERT_NE(::GetObjectW(bold.get(), sizeof lf, &lf), 0);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_FALSE(lf.lfUnderline);
  EXPECT_EQ(lf.lfHeight, -::MulDiv(14, dpi, 72));

  SetItemFont(parent_.get(), kEdit, bold.get());
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(edit_, WM_GETFONT, 0, 0)), bold.get());

  // A copy of the item's font: underline on, weight kept.
  win::UniqueFont link = CreateDialogFont(edit_, false, 9, true);
  ASSERT_NE(::GetObjectW(link.get(), sizeof lf, &lf), 0);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_EQ(lf.lfHeight, -::MulDiv(9, dpi, 72));
  ::SendMessageW(edit_, WM_SETFONT, 0, FALSE);
}

TEST_F(DialogItems, CenterWindowUsesTheWorkAreaSizeFromTheScreenOrigin) {
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  CenterWindow(parent_.get());
  RECT r{};
  ::GetWindowRect(parent_.get(), &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  EXPECT_EQ(r.left, (work.right - work.left - 300) / 2);
  EXPECT_EQ(r.top, (work.bottom - work.top - 200) / 2);
}

}  // namespace
}  // namespace orvix
