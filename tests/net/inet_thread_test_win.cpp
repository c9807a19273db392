// The worker thread, the one-worker rule and RunProcess, under Wine.
#include "net/inet_thread_win.h"
#include "net/process_win.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace orvix {
namespace {

constexpr UINT kStepMessage = 1280;
constexpr UINT kOtherStepMessage = 1281;
constexpr UINT kSentProbe = WM_APP + 5;
constexpr UINT kPostedProbe = WM_APP + 6;

int g_sentHandled = 0;
int g_postedHandled = 0;

LRESULT CALLBACK ProbeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kSentProbe) {
    ++g_sentHandled;
    return 77;
  }
  if (msg == kPostedProbe) ++g_postedHandled;
  return ::DefWindowProcW(w, msg, wp, lp);
}

// A window of the test's (main) thread that counts the probe messages.
win::UniqueWindow MakeWindow() {
  static const ATOM cls = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvixNetTestWindow";
    return ::RegisterClassW(&wc);
  }();
  EXPECT_NE(cls, 0);
  return win::UniqueWindow(::CreateWindowExW(0, L"OrvixNetTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                             nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

// Takes one queued message for the window, waiting up to timeoutMs.
bool TakeMessage(HWND w, UINT msg, MSG& out, DWORD timeoutMs) {
  const DWORD end = ::GetTickCount() + timeoutMs;
  do {
    if (::PeekMessageW(&out, w, msg, msg, PM_REMOVE)) return true;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
  } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
  return false;
}

bool HasMessage(HWND w, UINT msg) {
  MSG m;
  return ::PeekMessageW(&m, w, msg, msg, PM_REMOVE) != 0;
}

void SetUpRequest(TRequest& r) {
  r.SetField(request_field::kHost, "portal.example");
  r.SetField(request_field::kPath, "/adslkota/login_tr.jsp");
  r.Secure = true;
}

class WorkerStep : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = MakeWindow();
    ASSERT_TRUE(window_);
    // No internet handle: every request fails at once, without the network.
    CloseInternet();
    ASSERT_FALSE(InternetHandle);
  }
  void TearDown() override { FinishInetThread(); }

  win::UniqueWindow window_;
};

TEST_F(WorkerStep, FailedRequestPostsMinusOneWithWordParameterZero) {
  ASSERT_EQ(StartInetThread(window_.get(), kStepMessage, SetUpRequest), 0);
  ASSERT_NE(CurrentInetThread(), nullptr);
  EXPECT_EQ(CurrentInetThread()->Request().GetField(request_field::kHost), "portal.example");
  MSG msg;
  ASSERT_TRUE(TakeMessage(window_.get(), kStepMessage, msg, 10000));
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_EQ(msg.lParam, -1);
  FinishInetThread();
  EXPECT_EQ(CurrentInetThread(), nullptr);
}

TEST_F(WorkerStep, SecondStepWhileAWorkerExistsStartsNothing) {
  ASSERT_EQ(StartInetThread(window_.get(), kStepMessage, SetUpRequest), 0);
  TInetThread* first = CurrentInetThread();
  bool filled = false;
  EXPECT_EQ(StartInetThread(window_.get(), kOtherStepMessage, [&](TRequest&) { filled = true; }), -1);
  EXPECT_FALSE(filled);
  EXPECT_EQ(CurrentInetThread(), first);

  MSG msg;
  ASSERT_TRUE(TakeMessage(window_.get(), kStepMessage, msg, 10000));
  // Finished but not yet freed: still the one worker.
  EXPECT_EQ(StartInetThread(window_.get(), kOtherStepMessage, SetUpRequest), -1);
  FinishInetThread();
  EXPECT_FALSE(HasMessage(window_.get(), kOtherStepMessage));

  EXPECT_EQ(StartInetThread(window_.get(), kOtherStepMessage, SetUpRequest), 0);
  EXPECT_TRUE(TakeMessage(window_.get(), kOtherStepMessage, msg, 10000));
}

TEST_F(WorkerStep, FailedFillFreesTheWorkerWithoutRunningIt) {
  EXPECT_EQ(StartInetThread(window_.get(), kStepMessage,
                            [](TRequest&) { throw std::runtime_error("no credentials"); }),
            -1);
  EXPECT_EQ(CurrentInetThread(), nullptr);
  MSG msg;
  EXPECT_FALSE(TakeMessage(window_.get(), kStepMessage, msg, 300));
}

TEST_F(WorkerStep, WorkerOfADestroyedWindowPostsNothing) {
  auto worker = std::make_unique<TInetThread>(window_.get(), nullptr, kStepMessage);
  const HWND gone = window_.get();
  window_.reset();
  ASSERT_FALSE(::IsWindow(gone));
  worker->Resume();
  worker->WaitFor();
  EXPECT_TRUE(worker->Finished());
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, kStepMessage, kStepMessage, PM_REMOVE));
}

// A body that sends a message to a window of the waiting thread: WaitFor
// must deliver it, or the two threads would wait for each other.
class SendingThread : public TThread {
 public:
  explicit SendingThread(HWND w) : window_(w) {}
  ~SendingThread() override { Shutdown(); }
  LRESULT answer = 0;
  int runs = 0;

 protected:
  void Execute() override {
    ++runs;
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(window_, kSentProbe, 0, 0, SMTO_NORMAL, 20000, &result)) {
      answer = static_cast<LRESULT>(result);
    }
    ReturnValue = 42;
  }

 private:
  HWND window_;
};

TEST(TThreadWait, DeliversSentMessagesButKeepsPostedOnesQueued) {
  auto window = MakeWindow();
  g_sentHandled = 0;
  g_postedHandled = 0;
  ::PostMessageW(window.get(), kPostedProbe, 0, 0);
  SendingThread thread(window.get());
  thread.Resume();
  EXPECT_EQ(thread.WaitFor(), 42u);
  EXPECT_EQ(thread.answer, 77);
  EXPECT_EQ(g_sentHandled, 1);
  EXPECT_EQ(g_postedHandled, 0);
  EXPECT_TRUE(HasMessage(window.get(), kPostedProbe));
}

TEST(TThreadWait, NeverResumedThreadSkipsItsBodyWhenFreed) {
  auto window = MakeWindow();
  g_sentHandled = 0;
  {
    SendingThread thread(window.get());
    // Destroyed while suspended: terminated, resumed, waited for.
  }
  EXPECT_EQ(g_sentHandled, 0);
  auto worker = std::make_unique<TInetThread>(window.get(), nullptr, kStepMessage);
  worker.reset();
  EXPECT_FALSE(HasMessage(window.get(), kStepMessage));
}

std::string ChildPath() {
  char path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return "\"" + p.substr(0, p.find_last_of("\\/") + 1) + "net_child.exe\"";
}

TEST(RunProcess, ReportsExitCodeOnlyWhenTheChildEndedInTime) {
  EXPECT_EQ(RunProcess(ChildPath(), "0 7", SW_HIDE, 30000), 7);
  EXPECT_EQ(RunProcess(ChildPath(), "0 0", SW_HIDE, 30000), 0);
  // Time-out 0 only looks: a child that is still running gives -1.
  EXPECT_EQ(RunProcess(ChildPath(), "3000 5", SW_HIDE, 0), -1);
  EXPECT_EQ(RunProcess(ChildPath(), "3000 5", SW_HIDE, 200), -1);
}

TEST(RunProcess, MissingProgramGivesMinusOne) {
  EXPECT_EQ(RunProcess("orvix_no_such_program_here.exe", "-sayyac 0", SW_SHOWNORMAL, 0), -1);
  EXPECT_EQ(RunProcess("\"C:\\no such folder\\orvix.exe\"", "-sayyac 0", SW_SHOWNORMAL, 1000), -1);
}

}  // namespace
}  // namespace orvix
