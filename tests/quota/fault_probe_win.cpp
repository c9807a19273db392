// quota-fault-probe.exe MESSAGE COUNT [PARENT] [TEMP]: the real quota dialog
// (the program's own code, credentials made up, no account file), with
// memory that runs out on request. When the dialog's thread takes MESSAGE
// (a step's completion, or a WM_COMMAND posted to it) out of its queue for
// the first time, the next COUNT allocations of that thread fail (0: every
// one until the dialog is gone). PARENT (a window handle, as fake-parent
// gives it; 0 for none) is told of the dialog as the program tells its
// parent. TEMP, when given, is the temporary folder of the process.
//
// MESSAGE 0 fails nothing. Exit code: the dialog's result, or 100 when a
// fault was asked for and never came; the process must end, not crash.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "app/instance_win.h"
#include "quota/quota_dialog_win.h"
#include "tests/quota/probe_world_win.h"
#include "text/win_handles.h"

namespace {

DWORD g_mainThread = 0;
UINT g_armAt = 0;
long g_count = 0;
std::atomic<bool> g_armed{false};
std::atomic<long> g_left{0};  // failures still to come; negative: no end
std::atomic<long> g_failed{0};

bool FailThisOne() {
  if (!g_armed || ::GetCurrentThreadId() != g_mainThread) return false;
  long left = g_left.load();
  if (left == 0) return false;
  if (left > 0) g_left = left - 1;
  ++g_failed;
  return true;
}

LRESULT CALLBACK OnGetMessage(int code, WPARAM removed, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && removed == PM_REMOVE && g_armAt && msg->message == g_armAt && !g_armed) {
    g_left = g_count > 0 ? g_count : -1;
    g_armed = true;
  }
  return ::CallNextHookEx(nullptr, code, removed, lParam);
}

}  // namespace

void* operator new(std::size_t size) {
  if (FailThisOne()) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_mainThread = ::GetCurrentThreadId();
  g_armAt = static_cast<UINT>(std::atoi(argv[1]));
  g_count = std::atol(argv[2]);
  const HWND parent = argc > 3 ? reinterpret_cast<HWND>(static_cast<std::intptr_t>(std::atoll(argv[3]))) : nullptr;
  if (argc > 4) {
    ::SetEnvironmentVariableA("TMP", argv[4]);
    ::SetEnvironmentVariableA("TEMP", argv[4]);
  }
  const orvix::probe::ProbeWorld world;
  const orvix::QuotaSettings& settings = world.settings;
  HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, OnGetMessage, nullptr, g_mainThread);
  INT_PTR result = -1;
  {
    const orvix::app::TInstanceWindow window;
    if (window) result = orvix::RunQuotaDialog(window.get(), parent, settings);
  }
  g_armed = false;
  if (hook) ::UnhookWindowsHookEx(hook);
  return g_failed > 0 || !g_armAt ? static_cast<int>(result) : 100;
}
