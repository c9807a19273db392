// crash-fault.dll: code that faults where crash-test can tell beforehand,
// inside a module of its own that names itself in its export directory.
#include <windows.h>

namespace {

volatile LONG g_woken;

// Runs in this DLL until the event is set; by then the DLL may be gone, and
// the return from the wait executes memory that is no longer there (the way
// a media driver's playback thread outlives the driver).
DWORD WINAPI Linger(void* event) {
  ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return static_cast<DWORD>(::InterlockedIncrement(&g_woken));
}

}  // namespace

// Writes through p.
extern "C" __declspec(dllexport) __attribute__((noinline)) void CrashFaultWrite(volatile int* p) { *p = 1; }

// Starts a thread that waits inside this DLL until `event` is set.
extern "C" __declspec(dllexport) HANDLE CrashFaultStartLingering(HANDLE event) {
  return ::CreateThread(nullptr, 0, Linger, event, 0, nullptr);
}
