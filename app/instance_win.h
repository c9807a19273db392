// The single running quota query and the hidden window through which the
// parent (and a later "-exit") reaches it.
#pragma once

#include <windows.h>

#include "text/win_handles.h"

namespace orvix::app {

inline constexpr wchar_t kInstanceClassName[] = L"inet30_unique_class_name";
inline constexpr wchar_t kInstanceWindowName[] = L"inet30_unique_window_name";
inline constexpr wchar_t kInstanceMutexName[] = L"inet30_unique_mutex_name";

// Messages the hidden window understands beyond WM_CLOSE.
inline constexpr UINT kMsgBringDialogToFront = 5938;  // answer 0
inline constexpr UINT kMsgNothing = 5939;             // answer 0
inline constexpr UINT kMsgCloseDialog = 6040;         // forwarded to the quota dialog; its answer

// The named mutex that keeps the quota query to one instance. Created with
// default security, not owned; the instance is the first when the system
// does not report that the mutex already existed (a failed create counts as
// first: better a second dialog than none). On destruction the mutex is
// waited on for 0 ms and its handle closed.
class TSingleInstance {
 public:
  TSingleInstance();
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  bool IsFirst() const noexcept { return first_; }

 private:
  win::UniqueHandleNull mutex_;
  bool first_ = true;
};

// Registers the hidden window class (style 0, no icon, cursor, brush or
// menu) and creates the invisible pop-up window, stored in InstanceWindow.
// Returns it, or nullptr when registration or creation fails. WM_CLOSE
// destroys it (and the quota dialog it owns); InstanceWindow is cleared when
// it is destroyed.
HWND CreateInstanceWindow();

// -exit: sends WM_CLOSE to a running query's hidden window, if there is one.
void CloseRunningQuery();

}  // namespace orvix::app
