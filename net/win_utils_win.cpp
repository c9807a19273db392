#include "net/win_utils_win.h"

#include <commctrl.h>

#include <shlobj.h>

#include <cstdlib>

#include "text/file_io.h"
#include "text/platform.h"

namespace orvix {

namespace {

// FILETIME units (100 ns since 1601-01-01) of 1970-01-01 00:00.
constexpr std::int64_t kUnixEpochFileTime = 116444736000000000LL;
constexpr std::int64_t kFileTimePerMinute = 600000000LL;
constexpr std::int64_t kFileTimePerMs = 10000;

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

}  // namespace

std::int64_t UnixTimeMs() {
  // The local wall clock as a count, read as if it were UTC.
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  FILETIME ft;
  if (!::SystemTimeToFileTime(&local, &ft)) return 0;
  const std::int64_t localNow =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);

  // UTC = local + bias; the bias that applies right now depends on whether
  // the zone reports standard or daylight time.
  TIME_ZONE_INFORMATION zone;
  std::int64_t bias = 0;
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_STANDARD:
      bias = zone.Bias + zone.StandardBias;
      break;
    case TIME_ZONE_ID_DAYLIGHT:
      bias = zone.Bias + zone.DaylightBias;
      break;
    case TIME_ZONE_ID_UNKNOWN:
      bias = zone.Bias;
      break;
    default:  // TIME_ZONE_ID_INVALID: take the clock as UTC
      break;
  }
  // The epoch as the local clock shows it, then the distance from it.
  const std::int64_t localEpoch = kUnixEpochFileTime - bias * kFileTimePerMinute;
  return std::llabs(localNow - localEpoch) / kFileTimePerMs;
}

std::u16string LoadResText(UINT id) {
  // The program's only resource module is its own executable.
  wchar_t buffer[1024];
  const int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, 1024);
  if (n <= 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
}

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathA(MAX_PATH, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  return std::string(buffer);
}

std::u16string SpecialFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer))) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

void CenterWindow(HWND window) {
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT r{};
  if (!::GetWindowRect(window, &r)) return;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int x = ((work.right - work.left) - width) / 2;
  const int y = ((work.bottom - work.top) - height) / 2;
  ::MoveWindow(window, x, y, width, height, TRUE);
}

win::UniqueFont CreateDialogFont(HWND window, bool bold, int points, bool underline) {
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  if (current) ::GetObjectW(current, sizeof font, &font);
  if (bold) font.lfWeight = FW_BOLD;
  font.lfUnderline = underline ? TRUE : FALSE;
  int pixelsPerInch = 96;
  if (const win::WindowDc screen(nullptr); screen) pixelsPerInch = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
  font.lfHeight = -::MulDiv(points, pixelsPerInch, 72);
  return win::UniqueFont(::CreateFontIndirectW(&font));
}

void SetItemFont(HWND dialog, int item, HFONT font) {
  ::SendDlgItemMessageW(dialog, item, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

std::u16string GetItemText(HWND dialog, int item) {
  const auto length = ::SendDlgItemMessageW(dialog, item, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  const auto got = ::SendDlgItemMessageW(dialog, item, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                         reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got < 0 ? 0 : (got < length ? got : length)));
  return text;
}

void SetItemText(HWND dialog, int item, const std::u16string& text) {
  ::SetWindowTextW(::GetDlgItem(dialog, item), text.empty() ? nullptr : Wide(text));
}

namespace {

bool HasFirstLink(HWND link) {
  LITEM item{};
  item.mask = LIF_ITEMINDEX;
  item.iLink = 0;
  return ::SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

// "<a id=\"x\">" and the like become "<a>"; everything else stays.
std::u16string WithBareLinkTags(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const bool tag = text.compare(i, 2, u"<a") == 0 && i + 2 < text.size() &&
                     (text[i + 2] == u' ' || text[i + 2] == u'\t');
    const std::size_t close = tag ? text.find(u'>', i) : std::u16string::npos;
    if (close == std::u16string::npos) {
      out += text[i++];
      continue;
    }
    out += u"<a>";
    i = close + 1;
  }
  return out;
}

}  // namespace

void SetLinkText(HWND link, const std::u16string& text) {
  if (!link) return;
  ::SetWindowTextW(link, reinterpret_cast<const wchar_t*>(text.c_str()));
  if (text.find(u"<a") == std::u16string::npos || HasFirstLink(link)) return;
  const std::u16string bare = WithBareLinkTags(text);
  ::SetWindowTextW(link, reinterpret_cast<const wchar_t*>(bare.c_str()));
}

void FitPictureToBitmap(HWND picture) {
  const auto bitmap = reinterpret_cast<HBITMAP>(::SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof info, &info) == 0) return;
  RECT r{0, 0, info.bmWidth, info.bmHeight};
  ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrW(picture, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(picture, GWL_EXSTYLE)));
  ::SetWindowPos(picture, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool AnsiFileExists(const std::string& path) {
  return !path.empty() && fileio::FileExists(platform::AnsiToWide(path));
}

}  // namespace orvix
