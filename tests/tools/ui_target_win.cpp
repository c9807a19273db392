// ui-target: a dialog for the ui-driver test. Prints one JSON line on stdout
// for each thing a user could do to it:
//   {"ready":HWND}                            the dialog is up
//   {"command":ID,"code":N[,"edit":"..."]}    WM_COMMAND (id 1 adds the code box)
//   {"control":ID,"from":1,"link":INDEX,"link_id":"...","code":N,"focused":I,"focused_id":"..."}
//                                             WM_NOTIFY NM_CLICK / NM_RETURN of a SysLink: the
//                                             notice's own index and id, and the link that
//                                             has the control's focus (-1 when none)
//                                             ("from": hwndFrom is that control)
//   {"closed":RESULT}                         the dialog ended
// Messages it answers: kSetLinkEnabled (wParam 0/1) enables or disables the
// link control; kAdd returns wParam * 1000 + lParam.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "text/platform.h"
#include "text/win_handles.h"

namespace {

constexpr int kEdit = 1000, kPicture = 1001, kLink = 1002, kPlainLink = 1005, kClose = 1006;
constexpr UINT kSetLinkEnabled = WM_APP + 1;
constexpr UINT kAdd = WM_APP + 2;

const wchar_t kLinkText[] =
    L"Güvenlik Kodunu okuyamıyorsanız resmi <a id=\"idsyslink1\">yineleyin</a>, yada metni dinlemek için "
    L"<a id=\"idsyslink2\">buraya tıklatın</a>. Eğer <a id=\"idsyslink3\">renkli</a> görmekte güçlük "
    L"çekiyorsanız Güvenlik Kodunu <a id=\"idsyslink4\">Gri Tonlarında</a> veya <a id=\"idsyslink5\">"
    L"Siyah-Beyaz</a> görüntüleyin...";
// The same links as bare <a> tags, which every SysLink parses.
const wchar_t kPlainLinkText[] = L"<a>bir</a> ve <a>iki</a>, <a>üç</a>; <a>dört</a> ya da <a>beş</a>.";

orvix::win::UniqueBitmap g_picture;

std::string Utf8(const wchar_t* w) {
  return orvix::platform::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(w), wcslen(w)));
}

// Text without characters that need escaping in JSON (the test's texts).
void Print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// 242 x 80, every pixel different: red = x, green = 3 * y, blue = x + y.
orvix::win::UniqueBitmap MakePicture() {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 242;
  bi.bmiHeader.biHeight = -80;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  orvix::win::UniqueBitmap bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return bitmap;
  auto* px = static_cast<std::uint32_t*>(bits);
  for (std::uint32_t y = 0; y < 80; ++y)
    for (std::uint32_t x = 0; x < 242; ++x)
      px[y * 242 + x] = 0xFF000000u | (x << 16) | ((3 * y) << 8) | ((x + y) & 0xFF);
  return bitmap;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      ::SetDlgItemTextW(dialog, kLink, kLinkText);
      ::SetDlgItemTextW(dialog, kPlainLink, kPlainLinkText);
      g_picture = MakePicture();
      ::SendDlgItemMessageW(dialog, kPicture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_picture.get()));
      ::SetWindowPos(dialog, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE);
      ::SetFocus(::GetDlgItem(dialog, kEdit));
      Print("{\"ready\":" + std::to_string(reinterpret_cast<std::uintptr_t>(dialog)) + "}");
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      std::string line = "{\"command\":" + std::to_string(id) + ",\"code\":" + std::to_string(HIWORD(wParam));
      if (id == IDOK) {
        wchar_t text[256];
        ::GetDlgItemTextW(dialog, kEdit, text, 256);
        line += ",\"edit\":\"" + Utf8(text) + "\"";
      }
      Print(line + "}");
      if (id == IDCANCEL || id == kClose) ::EndDialog(dialog, id);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
      if ((hdr->idFrom == kLink || hdr->idFrom == kPlainLink) && (hdr->code == NM_CLICK || hdr->code == NM_RETURN)) {
        const auto* link = reinterpret_cast<const NMLINK*>(lParam);
        int focused = -1;
        std::wstring focusedId;
        for (int i = 0; focused < 0; ++i) {
          LITEM item{};
          item.mask = LIF_ITEMINDEX | LIF_STATE | LIF_ITEMID;
          item.iLink = i;
          item.stateMask = LIS_FOCUSED;
          if (!::SendMessageW(hdr->hwndFrom, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item))) break;
          if (item.state & LIS_FOCUSED) {
            focused = i;
            focusedId = item.szID;
          }
        }
        Print("{\"control\":" + std::to_string(hdr->idFrom) + ",\"from\":" +
              std::to_string(hdr->hwndFrom == ::GetDlgItem(dialog, static_cast<int>(hdr->idFrom))) +
              ",\"link\":" + std::to_string(link->item.iLink) + ",\"link_id\":\"" + Utf8(link->item.szID) +
              "\",\"code\":" + std::to_string(static_cast<int>(hdr->code)) +
              ",\"focused\":" + std::to_string(focused) + ",\"focused_id\":\"" + Utf8(focusedId.c_str()) + "\"}");
      }
      return FALSE;
    }
    case kSetLinkEnabled:
      ::EnableWindow(::GetDlgItem(dialog, kLink), wParam != 0);
      return TRUE;
    case kAdd:
      ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(wParam * 1000 + lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  if (!::InitCommonControlsEx(&icc)) {
    Print("{\"error\":\"InitCommonControlsEx\"}");
    return 1;
  }
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(100), nullptr, DialogProc, 0);
  Print("{\"closed\":" + std::to_string(static_cast<long long>(result)) + "}");
  return result == -1 ? 1 : 0;
}
