// The worker thread of the quota dialog.
//
// A portal step runs its TRequest on a TInetThread so the dialog stays
// responsive; the worker never touches a window beyond posting one message
// to it. The order "fill the request, Resume, worker posts its message,
// main thread WaitFor, then read the response, free the worker" is the only
// synchronisation between the two threads.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "text/win_handles.h"
#include "net/request_win.h"

namespace orvix {

// A thread object in the style of a runtime thread class: created
// suspended, started with Resume, with a terminate flag that is tested
// before the body runs. The most-derived class must call Shutdown() in its
// destructor, since the body may still be running on its members.
class TThread {
 public:
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts (or continues) the thread.
  void Resume();
  // Asks the thread to stop; a body that has not started is skipped.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // Waits for the thread's end and returns its exit code; the thread must
  // have been resumed. On the main
  // thread sent messages keep flowing during the wait (a window of this
  // thread may be sent a message by another thread), posted messages stay
  // queued. From any other thread it is a plain wait.
  DWORD WaitFor();

  HANDLE Handle() const { return handle_.get(); }
  bool Finished() const { return finished_; }

 protected:
  TThread();
  // The thread body.
  virtual void Execute() = 0;
  // For destructors: a thread that never ran is marked terminated and
  // resumed so that it ends at once; a running one is waited for.
  void Shutdown() noexcept;

  // The thread's exit code, returned by WaitFor.
  DWORD ReturnValue = 0;

 private:
  static unsigned __stdcall ThreadProc(void* self);

  win::UniqueHandleNull handle_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool suspended_ = true;
};

// Runs one TRequest and posts the result to a window:
// PostMessageA(NotifyWindow, NotifyMessage, 0, result), result 0 or -1, and
// only while NotifyWindow is still a window.
class TInetThread : public TThread {
 public:
  // Created suspended, with a request carrying the usual defaults. internet
  // is not owned.
  TInetThread(HWND notifyWindow, HINTERNET internet, UINT notifyMessage);
  ~TInetThread() override;

  TRequest& Request() { return *request_; }

  const HINTERNET Internet;
  const HWND NotifyWindow;
  const UINT NotifyMessage;

 protected:
  void Execute() override;

 private:
  std::unique_ptr<TRequest> request_;
};

// The one worker of the process; null when none exists. Touched only by the
// main thread.
TInetThread* CurrentInetThread();

// True while a worker exists: in its slot, or taken out of it and being
// waited for (see TakeInetThread). No step may start then.
bool InetThreadBusy();

// Starts a worker step: when a worker exists (InetThreadBusy), does nothing
// and returns -1.
// Otherwise creates the worker for window and message with InternetHandle,
// lets fill set up its request and resumes it (returns 0). When fill
// throws (or no thread can be created), the worker is freed unstarted and
// the result is -1.
std::int32_t StartInetThread(HWND window, UINT message, const std::function<void(TRequest&)>& fill);

// Takes the current worker out of its slot, waits for its end and hands it
// over (null when there is none). While it waits, sent messages are
// delivered: a handler that runs then (a window being destroyed) sees no
// current worker, and its own FinishInetThread waits for this one too. The
// caller reads the response and frees the worker.
std::unique_ptr<TInetThread> TakeInetThread();

// Waits for the current worker (if any) and frees it; inside the wait of a
// TakeInetThread it waits for that worker as well (which its taker frees).
// For the completion handlers that do not read the response, and for the
// window's destruction.
void FinishInetThread();

}  // namespace orvix
