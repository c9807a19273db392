// fake-parent: stands in for Plumo, the parent application, in tests.
//
// It owns a top-level window, starts the program under test with that
// window's handle on its command line, and records every message Plumo would
// receive from it, one JSON line each, on stdout (or --out FILE):
//   {"msg":"copydata","tag":<dwData as signed 32-bit>,"wparam":N,"bytes":N,"data":"<base64>"}
//   {"msg":6041,"wparam":N,"lparam":N}      (and 6042)
// Its exit status is the child's; 124 when the timeout ended the child;
// 125 when the child could not be started; 2 on bad usage.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/win_handles.h"

namespace {

constexpr UINT kDialogOpened = 6041;
constexpr UINT kDialogClosed = 6042;
constexpr DWORD kExitTimeout = 124;
constexpr DWORD kExitNoStart = 125;

const char kHelp[] =
    "usage: fake-parent [--timeout SECONDS] [--out FILE] [--hold MS] [--close-on-open] [--raw] PROGRAM ARGS...\n"
    "\n"
    "Creates a top-level window, replaces every argument that is exactly {parent}\n"
    "with that window's handle in decimal, starts PROGRAM with the arguments and\n"
    "pumps messages until it exits. Writes one JSON line per message received:\n"
    "  {\"msg\":\"copydata\",\"tag\":T,\"wparam\":W,\"bytes\":N,\"data\":\"BASE64\"}\n"
    "  {\"msg\":6041,\"wparam\":W,\"lparam\":L}   (and 6042)\n"
    "to stdout, or to FILE with --out. Arguments are joined with spaces; one that\n"
    "is empty or holds white space is put in double quotes. With --raw the single\n"
    "argument after PROGRAM is the rest of the command line, used as it is.\n"
    "\n"
    "--timeout  seconds to wait for the child (default 60), times ORVIX_TIME_SCALE\n"
    "           when that is set (an emulated machine); then the child is killed\n"
    "           and fake-parent exits 124.\n"
    "--hold MS  answer each WM_COPYDATA only after MS milliseconds, keeping the\n"
    "           sender waiting (so a test can look at it after its work).\n"
    "--close-on-open  on 6041, send WM_CLOSE to the window its lParam names (the\n"
    "           query's hidden window, as -exit does) before answering, so the\n"
    "           close arrives while the dialog is still telling us it opened.\n"
    "Exit status: the child's; 124 timeout; 125 the child could not be started;\n"
    "2 bad usage.\n";

FILE* g_out = stdout;
DWORD g_holdMs = 0;
bool g_closeOnOpen = false;

std::string Base64(const unsigned char* data, std::size_t n) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  for (std::size_t i = 0; i < n; i += 3) {
    const unsigned v = (data[i] << 16) | ((i + 1 < n ? data[i + 1] : 0) << 8) | (i + 2 < n ? data[i + 2] : 0);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < n ? kAlphabet[v & 63] : '=';
  }
  return out;
}

void WriteLine(const std::string& line) {
  std::fputs(line.c_str(), g_out);
  std::fputc('\n', g_out);
  std::fflush(g_out);  // a test reading the file after a kill still sees every line
}

LRESULT HandleParentMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto tag = static_cast<std::int32_t>(static_cast<std::uint32_t>(cds->dwData));
    const auto* bytes = static_cast<const unsigned char*>(cds->lpData);
    WriteLine("{\"msg\":\"copydata\",\"tag\":" + std::to_string(tag) +
              ",\"wparam\":" + std::to_string(static_cast<std::uint64_t>(wParam)) +
              ",\"bytes\":" + std::to_string(cds->cbData) + ",\"data\":\"" +
              Base64(bytes, bytes ? cds->cbData : 0) + "\"}");
    if (g_holdMs) Sleep(g_holdMs);
    return TRUE;
  }
  if (msg == kDialogOpened || msg == kDialogClosed) {
    WriteLine("{\"msg\":" + std::to_string(msg) + ",\"wparam\":" + std::to_string(static_cast<std::uint64_t>(wParam)) +
              ",\"lparam\":" + std::to_string(static_cast<std::int64_t>(lParam)) + "}");
    if (msg == kDialogOpened && g_closeOnOpen && lParam) SendMessageW(reinterpret_cast<HWND>(lParam), WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Nothing may leave a window procedure through user32's frames.
LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleParentMessage(hwnd, msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

std::wstring Widen(const char* s) {
  const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
  return w;
}

// The program under test splits its command line at white space and drops
// the quotes that group words, with no backslash escapes: quote exactly that
// way, so an argument arrives as given.
std::wstring QuoteArg(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t") == std::wstring::npos) return arg;
  return L"\"" + arg + L"\"";
}

int Usage() {
  std::fputs(kHelp, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double timeoutSeconds = 60;
  bool raw = false;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--timeout" && i + 1 < argc) {
      timeoutSeconds = std::atof(argv[++i]);
    } else if (a == "--out" && i + 1 < argc) {
      g_out = std::fopen(argv[++i], "wb");
      if (!g_out) {
        std::fprintf(stderr, "fake-parent: cannot write %s\n", argv[i]);
        return 2;
      }
    } else if (a == "--hold" && i + 1 < argc) {
      g_holdMs = static_cast<DWORD>(std::atoi(argv[++i]));
    } else if (a == "--close-on-open") {
      g_closeOnOpen = true;
    } else if (a == "--raw") {
      raw = true;
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else {
      break;
    }
  }
  if (i >= argc || timeoutSeconds <= 0 || (raw && argc - i != 2)) return Usage();
  if (const char* scale = std::getenv("ORVIX_TIME_SCALE"); scale && std::atof(scale) > 1)
    timeoutSeconds *= std::atof(scale);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = ParentProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"OrvixFakeParent";
  if (!RegisterClassW(&wc)) {
    std::fprintf(stderr, "fake-parent: RegisterClass failed (%lu)\n", GetLastError());
    return kExitNoStart;
  }
  orvix::win::UniqueWindow window(CreateWindowExW(0, wc.lpszClassName, L"Plumo (fake parent)", WS_OVERLAPPEDWINDOW,
                                                  CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance,
                                                  nullptr));
  if (!window) {
    std::fprintf(stderr, "fake-parent: CreateWindow failed (%lu)\n", GetLastError());
    return kExitNoStart;
  }
  const std::wstring handle = std::to_wstring(reinterpret_cast<std::uintptr_t>(window.get()));

  const std::wstring program = Widen(argv[i]);
  std::wstring commandLine = QuoteArg(program);
  for (int k = i + 1; k < argc; ++k) {
    std::wstring arg = Widen(argv[k]);
    commandLine += L' ';
    if (raw) {
      // Every {parent} in the raw tail stands for the handle.
      for (std::size_t pos = 0; (pos = arg.find(L"{parent}", pos)) != std::wstring::npos; pos += handle.size())
        arg.replace(pos, 8, handle);
      commandLine += arg;
    } else {
      commandLine += arg == L"{parent}" ? handle : QuoteArg(arg);
    }
  }

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  if (!CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "fake-parent: cannot start %s (%lu)\n", argv[i], GetLastError());
    return kExitNoStart;
  }
  orvix::win::UniqueHandleNull process(pi.hProcess);
  orvix::win::UniqueHandleNull thread(pi.hThread);

  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds * 1000);
  HANDLE child = process.get();
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      TerminateProcess(child, kExitTimeout);
      WaitForSingleObject(child, 5000);
      std::fprintf(stderr, "fake-parent: timeout, child killed\n");
      return static_cast<int>(kExitTimeout);
    }
    // Sent messages (WM_COPYDATA) are delivered inside this wait and the
    // PeekMessage below.
    const DWORD r = MsgWaitForMultipleObjects(1, &child, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_FAILED) {
      std::fprintf(stderr, "fake-parent: wait failed (%lu)\n", GetLastError());
      TerminateProcess(child, kExitTimeout);
      return static_cast<int>(kExitTimeout);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(child, &code);
  if (g_out != stdout) std::fclose(g_out);
  return static_cast<int>(code);
}
