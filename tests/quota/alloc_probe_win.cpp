// quota-alloc-probe.exe MODE APPDATA SCENARIO CODE FIRST LAST STRIDE
//
// The program's own jobs, run through the dispatcher as orvix.exe runs them,
// once for every N from FIRST to LAST (step STRIDE) with the N-th
// allocation failing, all inside this one process:
//   query    -query: the real dialog against the portal; the code is typed,
//            the report comes, "Yinele" once, then the dialog is closed
//   refused  -query where the portal refuses the first login: "Tekrar",
//            the code again, the report, the close
//   getmyip  -getmyip: the external address lookup
// LAST 0 means up to the number of allocations of the undisturbed run (run
// first, as N = 0). APPDATA is the application-data folder that holds the
// settings folder (account.ini, config.ini, crash.log); SCENARIO is the fake
// portal's scenario file, touched before every run so that its answers
// start again from the first. CODE is the security code to type.
//
// A thread of this process plays the person: it types the code into the
// dialog and presses its buttons by messages, and closes the dialog when a
// run goes on too long (a fault). A window of this process plays the parent:
// it counts 6041, 6042 and the copy-data replies and checks each reply.
//
// Each run must end within the bound, send 6042 when it sent 6041, reply
// with a whole record or none, leave account.ini as it was and no window of
// the process shown, and write no crash.log line. Prints one JSON line per
// fault and a closing JSON line with the counts per path.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/crash_log_win.h"
#include "app/dispatch_win.h"
#include "app/process_state_win.h"
#include "app/settings_paths.h"
#include "html/html_tables.h"
#include "net/parent_protocol.h"
#include "resources/resource_ids.h"
#include "tests/support/alloc_fail.h"
#include "text/win_handles.h"
#include "text/win_text.h"

namespace {

using orvix::alloc_fail::AllocFailureFired;
using orvix::alloc_fail::ArmAllocFailure;
using orvix::alloc_fail::DisarmAllocFailure;

enum class Mode { kQuery, kRefused, kGetMyIp };

// Stretched by ORVIX_TIME_SCALE on a slow (emulated) machine.
DWORD g_runBoundMs = 60000;  // a run longer than this is a fault
DWORD g_settleMs = 1500;     // a phase change is over by then

Mode g_mode = Mode::kQuery;
DWORD g_mainThread = 0;
wchar_t g_code[64] = {};

// What the parent saw in the current run (written on the main thread, read
// by the person's thread).
std::atomic<int> g_opened{0};
std::atomic<int> g_closed{0};
std::atomic<int> g_records{0};    // whole result records (tag 0)
std::atomic<int> g_failures{0};   // failure replies (tag -1)
std::atomic<int> g_addresses{0};  // -getmyip replies (tag 15)
std::atomic<int> g_emptyAddresses{0};
std::atomic<int> g_badReplies{0};
std::atomic<int> g_generation{0};  // a new run
std::atomic<bool> g_running{false};
std::atomic<bool> g_timedOut{false};
std::atomic<bool> g_stop{false};
DWORD g_runStart = 0;

// The undisturbed run's record and address, which every later one must match.
unsigned char g_record[orvix::quota_record::kSize];
bool g_haveRecord = false;
char g_address[64];
std::size_t g_addressSize = 0;
bool g_haveAddress = false;

bool CheckRecord(const COPYDATASTRUCT& cds) {
  if (cds.cbData != sizeof g_record || !cds.lpData) return false;
  if (!g_haveRecord) {
    std::memcpy(g_record, cds.lpData, sizeof g_record);
    g_haveRecord = true;
    return true;
  }
  return std::memcmp(g_record, cds.lpData, sizeof g_record) == 0;
}

bool CheckAddress(const COPYDATASTRUCT& cds) {
  if (cds.cbData == 0) return true;  // no source answered
  if (cds.cbData >= sizeof g_address || !cds.lpData) return false;
  if (!g_haveAddress) {
    std::memcpy(g_address, cds.lpData, cds.cbData);
    g_addressSize = cds.cbData;
    g_haveAddress = true;
    return true;
  }
  return cds.cbData == g_addressSize && std::memcmp(g_address, cds.lpData, cds.cbData) == 0;
}

// The parent's window: counts and checks, allocates nothing.
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case orvix::kMsgQuotaOpened:
      ++g_opened;
      return 0;
    case orvix::kMsgQuotaClosed:
      ++g_closed;
      return 0;
    case WM_COPYDATA: {
      const auto& cds = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const auto tag = static_cast<std::int32_t>(static_cast<std::uint32_t>(cds.dwData));
      if (g_mode == Mode::kGetMyIp) {
        ++g_addresses;
        if (cds.cbData == 0) ++g_emptyAddresses;
        if (tag != orvix::copydata::kAddressReply || !CheckAddress(cds)) ++g_badReplies;
      } else if (tag == orvix::copydata::kOk) {
        ++g_records;
        if (!CheckRecord(cds)) ++g_badReplies;
      } else if (tag == orvix::copydata::kFailure) {
        ++g_failures;
        if (cds.cbData % 2 != 0) ++g_badReplies;
      } else {
        ++g_badReplies;
      }
      return TRUE;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

BOOL CALLBACK FindDialogOf(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (std::wcscmp(name, L"#32770") == 0 && ::IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND QuotaDialogShown() {
  HWND found = nullptr;
  ::EnumThreadWindows(g_mainThread, FindDialogOf, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool Usable(HWND dialog, int id) {
  HWND item = ::GetDlgItem(dialog, id);
  return item && ::IsWindowVisible(item) && ::IsWindowEnabled(item);
}

void Press(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

HWND FocusOfMainThread() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(g_mainThread, &info) ? info.hwndFocus : nullptr;
}

// The person: plain Windows calls only (no allocation of ours), so the
// failing allocation is always the program's.
DWORD WINAPI Person(LPVOID) {
  int generation = -1;
  bool typed = false;       // the code is in for the entry shown
  bool refreshed = false;   // "Yinele" pressed
  bool retried = false;     // "Tekrar" pressed
  bool restarted = false;   // ... and seen disabled or hidden since: the new query began
  DWORD retriedAt = 0;
  bool closing = false;
  int repliesAtPress = 0;
  DWORD usableSince = 0;    // when "Tekrar" became usable
  while (!g_stop) {
    ::Sleep(10);
    if (g_generation != generation) {
      generation = g_generation;
      typed = refreshed = retried = restarted = closing = false;
      usableSince = 0;
      repliesAtPress = 0;
    }
    if (!g_running) continue;
    HWND dialog = QuotaDialogShown();
    if (!dialog) continue;
    if (!g_timedOut && ::GetTickCount() - g_runStart > g_runBoundMs) {
      g_timedOut = true;
      ::PostMessageW(dialog, orvix::kMsgCloseDialog, 0, 0);
      continue;
    }
    if (closing) continue;
    if (Usable(dialog, IDC_CODE_EDIT) && Usable(dialog, IDOK)) {
      if (!typed) {
        ::SetDlgItemTextW(dialog, IDC_CODE_EDIT, g_code);
        Press(dialog, IDOK);
        typed = true;
      }
      continue;
    }
    typed = false;
    // A report or a failure: "Tekrar" answers. After "Yinele" the report's
    // buttons stay while the page is fetched again: wait for its reply, or
    // for the failure (which puts the focus on "Tekrar").
    if (!Usable(dialog, IDC_RESTART)) {
      usableSince = 0;
      restarted = retried;
      continue;
    }
    if (!usableSince) usableSince = ::GetTickCount();
    const int replies = g_records + g_failures;
    const bool onTekrar = FocusOfMainThread() == ::GetDlgItem(dialog, IDC_RESTART);
    if (refreshed && replies == repliesAtPress && !onTekrar) continue;
    if (g_mode == Mode::kQuery && !refreshed && g_records == 1 && !onTekrar) {
      refreshed = true;
      repliesAtPress = replies;
      Press(dialog, IDC_REFRESH);
      continue;
    }
    if (g_mode == Mode::kRefused && retried && !restarted && ::GetTickCount() - retriedAt < g_settleMs) {
      // The press is posted: until the dialog takes it, the refusal is
      // still on screen, and is no reason to close.
      continue;
    }
    if (g_mode == Mode::kRefused && !retried) {
      if (onTekrar) {
        retried = true;
        retriedAt = ::GetTickCount();
        Press(dialog, IDC_RESTART);
        continue;
      }
      // The phase shows "Tekrar" before it gives it the focus: on a slow
      // machine this thread can look in between. Only a "Tekrar" that stays
      // without the focus means a failure that is not the refusal.
      if (::GetTickCount() - usableSince < g_settleMs) continue;
    }
    closing = true;
    Press(dialog, IDC_CLOSE);
  }
  return 0;
}

BOOL CALLBACK CountShown(HWND window, LPARAM count) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int WindowsShown() {
  int count = 0;
  ::EnumWindows(CountShown, reinterpret_cast<LPARAM>(&count));
  return count;
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

// A new time stamp on the scenario: the fake portal reads it again and its
// answer lists start from the first.
void TouchScenario(const std::wstring& path, int n) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{};
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart += static_cast<ULONGLONG>(n) * 10;  // a microsecond apart at least
  now.dwLowDateTime = t.LowPart;
  now.dwHighDateTime = t.HighPart;
  ::SetFileTime(file, nullptr, nullptr, &now);
  ::CloseHandle(file);
}

std::wstring Widen(const char* text) {
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
  out.resize(std::wcslen(out.c_str()));
  return out;
}

// How a run ended, by what the parent saw.
const char* PathOf() {
  if (g_mode == Mode::kGetMyIp) {
    if (g_addresses == 0) return "no reply";
    return g_emptyAddresses ? "empty reply" : "address reply";
  }
  if (g_opened == 0) return "ended before the dialog";
  if (g_records >= 2) return "report, Yinele report";
  if (g_records == 1 && g_failures > 0) return "report, Yinele failure reply";
  if (g_records == 1) return "report, Yinele failed";
  if (g_failures > 0) return "failure reply";
  return "failed step";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: quota-alloc-probe MODE APPDATA SCENARIO CODE FIRST LAST STRIDE\n");
    return 2;
  }
  g_mainThread = ::GetCurrentThreadId();
  const std::string mode = argv[1];
  g_mode = mode == "refused" ? Mode::kRefused : mode == "getmyip" ? Mode::kGetMyIp : Mode::kQuery;
  const std::wstring scenario = Widen(argv[3]);
  std::wcsncpy(g_code, Widen(argv[4]).c_str(), 63);
  const long first = std::atol(argv[5]);
  long last = std::atol(argv[6]);
  const long stride = std::max(1L, std::atol(argv[7]));
  if (const char* scale = std::getenv("ORVIX_TIME_SCALE")) {
    const double factor = std::atof(scale);
    if (factor > 1) {
      g_runBoundMs = static_cast<DWORD>(g_runBoundMs * factor);
      g_settleMs = static_cast<DWORD>(g_settleMs * factor);
    }
  }

  // As orvix.exe starts.
  orvix::app::InstallQuietFailureHandlers();
  const orvix::win::GdiplusScope gdiplus;
  orvix::InitHtmlTables();
  orvix::app::InitSettingsPaths(orvix::FromWide(Widen(argv[2]).c_str()));
  orvix::app::PrepareCrashLog(orvix::app::SettingsFolder());
  const orvix::win::ComScope com;

  const std::wstring account = orvix::Wide(orvix::app::AccountFilePath());
  const std::wstring crashLog = std::wstring(orvix::Wide(orvix::app::SettingsFolder())) + L"\\crash.log";
  const std::string accountBytes = ReadAll(account);

  WNDCLASSW wc{};
  wc.lpfnWndProc = ParentProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"AllocProbeParent";
  ::RegisterClassW(&wc);
  HWND parent = ::CreateWindowW(wc.lpszClassName, L"parent", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
  const std::string parentText = std::to_string(reinterpret_cast<std::uintptr_t>(parent) & 0xFFFFFFFFu);
  std::vector<std::string> args = {g_mode == Mode::kGetMyIp ? "-getmyip" : "-query", parentText, "anasayfa"};

  HANDLE person = ::CreateThread(nullptr, 0, Person, nullptr, 0, nullptr);

  std::map<std::string, long> paths;
  long runs = 0, faults = 0, notReached = 0, total = 0;
  for (long n = 0; n == 0 || n <= last; n = n == 0 ? first : n + stride) {
    TouchScenario(scenario, static_cast<int>(n));
    g_opened = g_closed = g_records = g_failures = g_addresses = g_emptyAddresses = g_badReplies = 0;
    g_timedOut = false;
    g_runStart = ::GetTickCount();
    ++g_generation;
    g_running = true;
    bool escaped = false;
    ArmAllocFailure(n);
    try {
      orvix::app::Dispatch(args);
    } catch (...) {
      escaped = true;  // orvix.exe's own guard swallows it as quietly
    }
    const bool fired = AllocFailureFired();
    const long counted = DisarmAllocFailure();
    g_running = false;
    const DWORD took = ::GetTickCount() - g_runStart;
    // Messages the run left in the queue (the dialog's last WM_NULL).
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);

    std::string fault;
    if (n == 0) {
      total = counted;
      if (last == 0) last = total;
      const bool whole = g_mode == Mode::kGetMyIp ? g_addresses == 1 && g_haveAddress
                         : g_mode == Mode::kQuery ? g_records == 2 : g_records == 1;
      if (!whole || escaped) fault = "the undisturbed run did not succeed";
    }
    if (g_timedOut || took > g_runBoundMs) fault += " did not end within the bound;";
    if (g_opened != g_closed) fault += " 6041 without 6042;";
    if (g_badReplies) fault += " a reply that is not whole;";
    if (g_mode == Mode::kGetMyIp && g_addresses > 1) fault += " more than one reply;";
    if (ReadAll(account) != accountBytes) fault += " account.ini changed;";
    if (ReadAll(crashLog) != "<none>") fault += " a crash.log line;";
    if (const int shown = WindowsShown()) fault += " " + std::to_string(shown) + " windows left shown;";
    if (n > 0) {
      ++runs;
      if (!fired) ++notReached;
      ++paths[PathOf()];
    }
    if (!fault.empty()) {
      ++faults;
      std::printf("{\"fault\":%ld,\"path\":\"%s\",\"what\":\"%s\",\"ms\":%lu}\n", n, PathOf(), fault.c_str(),
                  static_cast<unsigned long>(took));
      std::fflush(stdout);
      if (n == 0) break;
    }
    orvix::ClearProcessState();
  }
  g_stop = true;
  ::WaitForSingleObject(person, 5000);
  ::CloseHandle(person);
  ::DestroyWindow(parent);

  std::printf("{\"mode\":\"%s\",\"allocations\":%ld,\"runs\":%ld,\"stride\":%ld,\"faults\":%ld,\"not_reached\":%ld,"
              "\"paths\":{",
              mode.c_str(), total, runs, stride, faults, notReached);
  bool comma = false;
  for (const auto& [path, count] : paths) {
    std::printf("%s\"%s\":%ld", comma ? "," : "", path.c_str(), count);
    comma = true;
  }
  std::printf("}}\n");
  std::fflush(stdout);
  return 0;
}
