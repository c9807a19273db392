// quota-close-probe.exe DELAY_MS: the real quota dialog (the program's own
// code, credentials made up, no account file), in a process whose threads
// take DELAY_MS to end once their work is done. So when a portal step
// completes, the dialog's completion handler has to wait that long for its
// finished worker, and a close that arrives meanwhile (-exit from another
// process, which sends WM_CLOSE to the hidden window) lands inside that
// wait. Prints {"result":N} with the dialog's result and exits 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/instance_win.h"
#include "quota/quota_dialog_win.h"
#include "tests/quota/probe_world_win.h"
#include "text/win_handles.h"

namespace {

DWORD g_mainThread = 0;
DWORD g_exitDelayMs = 0;

// Runs on every thread as it ends, after its work: the worker has posted
// its completion message by then, so the main thread's wait for it is the
// one that gets longer.
void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_DETACH && g_exitDelayMs && ::GetCurrentThreadId() != g_mainThread) {
    ::Sleep(g_exitDelayMs);
  }
}

}  // namespace

extern "C" {
__attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK g_onThreadEvent = OnThreadEvent;
}

int main(int argc, char** argv) {
  g_mainThread = ::GetCurrentThreadId();
  g_exitDelayMs = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 3000;
  const orvix::probe::ProbeWorld world;
  const orvix::QuotaSettings& settings = world.settings;
  INT_PTR result = -1;
  {
    const orvix::app::TInstanceWindow window;
    if (window) result = orvix::RunQuotaDialog(window.get(), nullptr, settings);
  }
  std::printf("{\"result\":%lld}\n", static_cast<long long>(result));
  std::fflush(stdout);
  return 0;
}
