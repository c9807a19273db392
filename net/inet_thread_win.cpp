#include "net/inet_thread_win.h"

#include <process.h>

#include <utility>

namespace orvix {

namespace {

// Static initialisation runs on the thread that starts the process.
const DWORD kMainThreadId = ::GetCurrentThreadId();

std::unique_ptr<TInetThread> g_worker;
// The worker a TakeInetThread is waiting for, taken out of g_worker.
TInetThread* g_waitedFor = nullptr;

}  // namespace

TThread::TThread() {
  unsigned id = 0;
  const auto h = ::_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id);
  if (h == 0) win::ThrowLastError("_beginthreadex");
  handle_.reset(reinterpret_cast<HANDLE>(h));
}

TThread::~TThread() { Shutdown(); }

unsigned __stdcall TThread::ThreadProc(void* param) {
  auto* self = static_cast<TThread*>(param);
  if (!self->terminated_) {
    try {
      self->Execute();
    } catch (...) {
      // Nothing may leave a thread; the worker reports only by its message.
    }
  }
  const DWORD code = self->ReturnValue;
  self->finished_ = true;
  return code;
}

void TThread::Resume() {
  if (::ResumeThread(handle_.get()) == 1) suspended_ = false;
}

DWORD TThread::WaitFor() {
  HANDLE h = handle_.get();
  if (::GetCurrentThreadId() == kMainThreadId) {
    for (;;) {
      const DWORD r = ::MsgWaitForMultipleObjects(1, &h, FALSE, 1000, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_FAILED) {
        ::WaitForSingleObject(h, INFINITE);
        break;
      }
      if (r == WAIT_OBJECT_0 + 1) {
        // Peeking delivers the pending sent messages; posted ones stay
        // queued for the dialog's own loop.
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
      }
    }
  } else {
    ::WaitForSingleObject(h, INFINITE);
  }
  DWORD code = 0;
  ::GetExitCodeThread(h, &code);
  return code;
}

void TThread::Shutdown() noexcept {
  if (!handle_ || finished_) {
    if (handle_) ::WaitForSingleObject(handle_.get(), INFINITE);
    return;
  }
  if (suspended_) {
    Terminate();
    // Resume until the suspend count reaches zero.
    while (::ResumeThread(handle_.get()) > 1) {
    }
    suspended_ = false;
  }
  ::WaitForSingleObject(handle_.get(), INFINITE);
}

TInetThread::TInetThread(HWND notifyWindow, HINTERNET internet, UINT notifyMessage)
    : Internet(internet),
      NotifyWindow(notifyWindow),
      NotifyMessage(notifyMessage),
      request_(std::make_unique<TRequest>()) {}

TInetThread::~TInetThread() { Shutdown(); }

void TInetThread::Execute() {
  // An exchange that raised (memory ran out, say) failed like any other:
  // the window must still hear of it, or it waits for the answer for ever.
  std::int32_t result = -1;
  try {
    result = request_->Execute(Internet);
  } catch (...) {
  }
  // The dialog may be gone by now (closed while the request ran); then the
  // result is simply dropped.
  if (::IsWindow(NotifyWindow)) {
    ::PostMessageA(NotifyWindow, NotifyMessage, 0, static_cast<LPARAM>(result));
  }
}

TInetThread* CurrentInetThread() { return g_worker.get(); }

bool InetThreadBusy() { return g_worker || g_waitedFor; }

std::int32_t StartInetThread(HWND window, UINT message, const std::function<void(TRequest&)>& fill) {
  // A worker being waited for still exists: a step requested by a message
  // sent during that wait must not start a second one.
  if (InetThreadBusy()) return -1;
  try {
    g_worker = std::make_unique<TInetThread>(window, InternetHandle.get(), message);
    fill(g_worker->Request());
  } catch (...) {
    // Freeing a worker that never ran skips its body: nothing is sent.
    g_worker.reset();
    return -1;
  }
  g_worker->Resume();
  return 0;
}

std::unique_ptr<TInetThread> TakeInetThread() {
  std::unique_ptr<TInetThread> worker = std::move(g_worker);
  if (!worker) return worker;
  TInetThread* const outer = std::exchange(g_waitedFor, worker.get());
  worker->WaitFor();
  g_waitedFor = outer;
  return worker;
}

void FinishInetThread() {
  if (g_worker) {
    TakeInetThread().reset();
  } else if (g_waitedFor) {
    g_waitedFor->WaitFor();
  }
}

}  // namespace orvix
