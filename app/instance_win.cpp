#include "app/instance_win.h"

#include "app/process_state_win.h"
#include "quota/quota_dialog_win.h"

namespace orvix::app {

TSingleInstance::TSingleInstance() : mutex_(::CreateMutexW(nullptr, FALSE, kInstanceMutexName)) {
  first_ = ::GetLastError() != ERROR_ALREADY_EXISTS;
}

TSingleInstance::~TSingleInstance() {
  if (mutex_) ::WaitForSingleObject(mutex_.get(), 0);
}

namespace {

LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgBringDialogToFront:
      if (QuotaDialog) {
        ::SetActiveWindow(QuotaDialog);
        ::SetForegroundWindow(QuotaDialog);
      }
      return 0;
    case kMsgNothing:
      return 0;
    case kMsgCloseDialog:
      return QuotaDialog ? ::SendMessageW(QuotaDialog, kMsgCloseDialog, wParam, lParam) : 0;
    case WM_NCDESTROY:
      // Nobody may reach (or name in a reply) a window that is gone.
      if (InstanceWindow == hwnd) InstanceWindow = nullptr;
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Called through user32, whose frames no exception may cross. Nothing here
// allocates today (the dialog guards its own handlers); should a fault come
// anyway, the message is answered as unknown ones are.
LRESULT CALLBACK InstanceWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMessage(hwnd, msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // namespace

HWND CreateInstanceWindow() {
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = InstanceWindowProc;
  wc.hInstance = module;
  wc.lpszClassName = kInstanceClassName;
  if (!::RegisterClassW(&wc)) return nullptr;
  InstanceWindow = ::CreateWindowExW(0, kInstanceClassName, kInstanceWindowName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, module, nullptr);
  return InstanceWindow;
}

TInstanceWindow::TInstanceWindow() : window_(CreateInstanceWindow()) {}

TInstanceWindow::~TInstanceWindow() {
  if (!window_) return;
  // WM_CLOSE (from -exit or the parent) destroys the window on its own; a
  // handle that no longer names it is only forgotten.
  if (::IsWindow(window_.get())) {
    window_.reset();
  } else {
    window_.release();
  }
  ::UnregisterClassW(kInstanceClassName, ::GetModuleHandleW(nullptr));
}

void CloseRunningQuery() {
  if (HWND w = ::FindWindowW(kInstanceClassName, kInstanceWindowName)) ::SendMessageW(w, WM_CLOSE, 0, 0);
}

}  // namespace orvix::app
