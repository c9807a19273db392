#include "net/dialog_controls_win.h"

#include <commctrl.h>

#include "text/win_text.h"

namespace orvix {

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

int WindowDpi(HWND window) {
  // Looked up at run time: older systems' user32 has no such function.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window); dpi > 0) return static_cast<int>(dpi);
  }
  int pixelsPerInch = 96;
  if (const win::WindowDc screen(nullptr); screen) pixelsPerInch = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
  return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

win::UniqueFont CreateDialogFont(HWND window, bool bold, int points, bool underline) {
  return CreateDialogFontOfHeight(window, bold, ::MulDiv(points, WindowDpi(window), 72), underline);
}

win::UniqueFont CreateDialogFontOfHeight(HWND window, bool bold, int pixels, bool underline) {
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  if (current) ::GetObjectW(current, sizeof font, &font);
  if (bold) font.lfWeight = FW_BOLD;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfHeight = -pixels;
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
  ::SetWindowTextW(link, Wide(text));
  if (text.find(u"<a") == std::u16string::npos || HasFirstLink(link)) return;
  const std::u16string bare = WithBareLinkTags(text);
  ::SetWindowTextW(link, Wide(bare));
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

}  // namespace orvix
