// task-helper: small Windows-side helpers for the job tests under Wine.
//
//   task-helper screen
//       prints the virtual screen size as "WxH".
//   task-helper vanish MS|@FILE PROGRAM ARGS...
//       creates a top-level window, starts PROGRAM with "{parent}" replaced by
//       its handle, destroys the window after MS milliseconds, or once FILE
//       exists, and waits for the program; exits with the program's status
//       (124 after 60 s).
//   task-helper msgbox CAPTION SECONDS
//       waits for a message box with that caption, prints it as one JSON
//       line {"caption":..,"text":..,"buttons":[ids]} (texts UTF-8), then
//       closes it. Exit 1 when none appears in time.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "text/platform.h"
#include "text/win_handles.h"

namespace {

std::string Utf8(const wchar_t* w) {
  return orvix::platform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(w));
}

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

int Screen() {
  std::printf("%dx%d\n", GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  return 0;
}

int Vanish(int argc, char** argv) {
  const bool onFile = argv[2][0] == '@';
  const int ms = onFile ? 0 : std::atoi(argv[2]);
  const char* signal = argv[2] + 1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "task_helper_parent";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowA(wc.lpszClassName, "parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  std::string cmd = "\"" + std::string(argv[3]) + "\"";
  for (int i = 4; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "{parent}") a = std::to_string(reinterpret_cast<UINT_PTR>(wnd));
    cmd += " " + a;
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 125;
  const orvix::win::UniqueHandleNull thread(pi.hThread);
  const orvix::win::UniqueHandleNull process(pi.hProcess);
  const DWORD start = GetTickCount();
  bool destroyed = false;
  DWORD status = 124;
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 50, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      GetExitCodeProcess(pi.hProcess, &status);
      break;
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    const DWORD elapsed = GetTickCount() - start;
    const bool due = onFile ? GetFileAttributesA(signal) != INVALID_FILE_ATTRIBUTES : elapsed >= static_cast<DWORD>(ms);
    if (!destroyed && due) {
      DestroyWindow(wnd);
      destroyed = true;
    }
    if (elapsed > 60000) {
      TerminateProcess(pi.hProcess, 124);
      break;
    }
  }
  return static_cast<int>(status);
}

struct Found {
  std::wstring caption;
  HWND wnd = nullptr;
};

BOOL CALLBACK FindBox(HWND wnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  if (std::wstring(cls) != L"#32770") return TRUE;
  wchar_t title[256] = {};
  GetWindowTextW(wnd, title, 256);
  if (f->caption == title) {
    f->wnd = wnd;
    return FALSE;
  }
  return TRUE;
}

int MsgBox(char** argv) {
  // Arguments arrive in the system code page.
  const std::u16string caption = orvix::platform::AnsiToWide(argv[2]);
  Found f;
  f.caption.assign(caption.begin(), caption.end());
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3]) * 1000);
  while (!f.wnd && GetTickCount() < deadline) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
    if (!f.wnd) Sleep(100);
  }
  if (!f.wnd) return 1;
  Sleep(200);  // let the box finish laying out its controls
  // The message text is the static control with id 0xFFFF.
  wchar_t text[1024] = {};
  GetDlgItemTextW(f.wnd, 0xFFFF, text, 1024);
  wchar_t title[256] = {};
  GetWindowTextW(f.wnd, title, 256);
  std::string buttons;
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    HWND b = GetDlgItem(f.wnd, id);
    if (b && IsWindowVisible(b)) buttons += (buttons.empty() ? "" : ",") + std::to_string(id);
  }
  std::printf("{\"caption\":%s,\"text\":%s,\"buttons\":[%s]}\n", Json(Utf8(title)).c_str(), Json(Utf8(text)).c_str(),
              buttons.c_str());
  std::fflush(stdout);
  PostMessageW(f.wnd, WM_CLOSE, 0, 0);
  // A box without a cancel button ignores WM_CLOSE: press its first button.
  Sleep(300);
  if (IsWindow(f.wnd)) {
    for (int id : {IDOK, IDYES, IDNO, IDABORT}) {
      if (GetDlgItem(f.wnd, id)) {
        PostMessageW(f.wnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        break;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "screen") return Screen();
  if (argc >= 4 && std::string(argv[1]) == "vanish") return Vanish(argc, argv);
  if (argc == 4 && std::string(argv[1]) == "msgbox") return MsgBox(argv);
  std::fprintf(stderr, "usage: task-helper screen | vanish MS PROGRAM ARGS... | msgbox CAPTION SECONDS\n");
  return 2;
}
