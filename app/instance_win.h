// The single running quota query and the hidden window through which the
// parent (and a later "-exit") reaches it.
#pragma once

#include <windows.h>

#include "net/parent_protocol.h"
#include "text/win_handles.h"

namespace orvix::app {

inline constexpr wchar_t kInstanceClassName[] = L"inet30_unique_class_name";
inline constexpr wchar_t kInstanceWindowName[] = L"inet30_unique_window_name";
inline constexpr wchar_t kInstanceMutexName[] = L"inet30_unique_mutex_name";

// The messages the hidden window understands beyond WM_CLOSE are in
// net/parent_protocol.h (5938, 5939, 6040).

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

// The hidden window of one quota query, for the job's life: created (with
// its class) by CreateInstanceWindow, and on destruction destroyed if -exit
// has not done so already, and its class unregistered, so nothing of the
// job outlives it.
class TInstanceWindow {
 public:
  TInstanceWindow();
  ~TInstanceWindow();
  TInstanceWindow(const TInstanceWindow&) = delete;
  TInstanceWindow& operator=(const TInstanceWindow&) = delete;

  // The window; null when it could not be made.
  HWND get() const noexcept { return window_.get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(window_); }

 private:
  win::UniqueWindow window_;
};

// -exit: sends WM_CLOSE to a running query's hidden window, if there is one.
void CloseRunningQuery();

}  // namespace orvix::app
