#include "quota/mci_drivers_win.h"

#include <windows.h>

#include <atomic>
#include <iterator>

namespace orvix {

namespace {

// The drivers the system's media-control registry names for the files we
// play: wave files (the security code, most alert sounds), then the
// DirectShow one for other formats an alert file may have, MIDI and video.
constexpr const wchar_t* kDrivers[] = {L"mciwave.dll", L"mciqtz32.dll", L"mciseq.dll", L"mciavi32.dll"};

std::atomic<bool> g_pinned[std::size(kDrivers)];

}  // namespace

// Why: the wave driver plays on a thread of its own, and that thread can
// still be running the driver's code when the last MCI_CLOSE returns. The
// last close unloads the driver, and the thread then executes unmapped
// memory (seen under Wine: the dialog vanished as the security code ended,
// an access violation at execution inside the unloaded mciwave.dll). A
// pinned module is never unloaded, so no thread can outlive its code. Each
// module is pinned once; a driver not loaded now is tried at the next open.
void KeepMciDriversLoaded() noexcept {
  for (std::size_t i = 0; i < std::size(kDrivers); ++i) {
    if (g_pinned[i].load(std::memory_order_relaxed)) continue;
    HMODULE module = nullptr;
    // Does not load a module that is not there; with the pin flag the
    // module's reference count no longer matters.
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, kDrivers[i], &module))
      g_pinned[i].store(true, std::memory_order_relaxed);
  }
}

}  // namespace orvix
