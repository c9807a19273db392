// The process side of orvix.exe under Wine: the hidden window and its
// messages, the single-instance mutex, copy-data records, the resources
// compiled into the program, and orvix.exe itself answering -exit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/copydata_win.h"
#include "app/instance_win.h"
#include "app/process_state_win.h"
#include "quota/quota_dialog_win.h"
#include "resources/resource_texts.h"
#include "text/win_handles.h"

namespace orvix::app {
namespace {

// A plain window that records what it receives.
struct Recorder {
  static inline std::vector<UINT> messages;
  static inline std::vector<std::pair<WPARAM, LPARAM>> closeRequests;
  static inline ULONG_PTR tag = 0;
  static inline std::string payload;
  static inline WPARAM copySender = 0;

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    messages.push_back(msg);
    if (msg == kMsgCloseDialog) {
      closeRequests.emplace_back(wParam, lParam);
      return 2;
    }
    if (msg == WM_COPYDATA) {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      tag = cds->dwData;
      payload.assign(static_cast<const char*>(cds->lpData), cds->cbData);
      copySender = wParam;
      return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
};

HWND MakeRecorder(HWND owner = nullptr) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Recorder::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvixTestRecorder";
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  Recorder::messages.clear();
  Recorder::closeRequests.clear();
  return CreateWindowExW(0, L"OrvixTestRecorder", L"", WS_POPUP, 0, 0, 0, 0, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Each test gets a hidden window of its own and leaves no class behind, as
// a fresh process would.
class HiddenWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    if (InstanceWindow) DestroyWindow(InstanceWindow);
    if (QuotaDialog && IsWindow(QuotaDialog)) DestroyWindow(QuotaDialog);
    QuotaDialog = nullptr;
    UnregisterClassW(kInstanceClassName, GetModuleHandleW(nullptr));
  }
};

TEST_F(HiddenWindow, HasTheClassAndNameThatExitLooksFor) {
  HWND w = CreateInstanceWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(InstanceWindow, w);
  EXPECT_EQ(FindWindowW(kInstanceClassName, kInstanceWindowName), w);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_EQ(GetParent(w), nullptr);
  EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & WS_POPUP, static_cast<LONG>(WS_POPUP));
}

TEST_F(HiddenWindow, ForwardsCloseRequestToTheDialogAndAnswersTheRestWithZero) {
  HWND w = CreateInstanceWindow();
  ASSERT_NE(w, nullptr);
  // Without a dialog nothing is forwarded and nothing breaks.
  EXPECT_EQ(SendMessageW(w, kMsgCloseDialog, 7, 8), 0);
  EXPECT_EQ(SendMessageW(w, kMsgBringDialogToFront, 0, 0), 0);

  QuotaDialog = MakeRecorder(w);
  ASSERT_NE(QuotaDialog, nullptr);
  EXPECT_EQ(SendMessageW(w, kMsgCloseDialog, 7, 8), 2);
  ASSERT_EQ(Recorder::closeRequests.size(), 1u);
  EXPECT_EQ(Recorder::closeRequests[0], (std::pair<WPARAM, LPARAM>(7, 8)));
  EXPECT_EQ(SendMessageW(w, kMsgNothing, 1, 1), 0);
  EXPECT_EQ(SendMessageW(w, kMsgBringDialogToFront, 0, 0), 0);
  EXPECT_EQ(Recorder::closeRequests.size(), 1u);
}

TEST_F(HiddenWindow, CloseDestroysItAndTheDialogItOwns) {
  HWND w = CreateInstanceWindow();
  ASSERT_NE(w, nullptr);
  QuotaDialog = MakeRecorder(w);
  SendMessageW(w, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(IsWindow(QuotaDialog));
  EXPECT_EQ(InstanceWindow, nullptr);
}

TEST_F(HiddenWindow, NoWindowWhenTheClassCannotBeRegistered) {
  ASSERT_NE(CreateInstanceWindow(), nullptr);
  HWND first = InstanceWindow;
  EXPECT_EQ(CreateInstanceWindow(), nullptr);
  DestroyWindow(first);
}

TEST(SingleInstance, OnlyTheFirstWhileItRuns) {
  {
    TSingleInstance first;
    EXPECT_TRUE(first.IsFirst());
    TSingleInstance second;
    EXPECT_FALSE(second.IsFirst());
  }
  TSingleInstance again;
  EXPECT_TRUE(again.IsFirst());
}

TEST(CopyData, TagPatternByteCountAndSender) {
  HWND target = MakeRecorder();
  HWND sender = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
  EXPECT_EQ(SendCopyData(target, sender, -1, "", 0), TRUE);
  EXPECT_EQ(Recorder::tag, static_cast<ULONG_PTR>(0xFFFFFFFFu));
  EXPECT_EQ(Recorder::payload, "");
  EXPECT_EQ(Recorder::copySender, reinterpret_cast<WPARAM>(sender));
  const std::string body("85.1.2.3\0x", 10);
  EXPECT_EQ(SendCopyData(target, nullptr, 15, body.data(), 8), TRUE);
  EXPECT_EQ(Recorder::tag, 15u);
  EXPECT_EQ(Recorder::payload, "85.1.2.3");
  DestroyWindow(target);
  EXPECT_EQ(SendCopyData(target, nullptr, 0, "x", 1), 0);
}

TEST(Resources, StringTableMatchesThePortableTable) {
  ASSERT_GT(kResourceTextCount, 0);
  for (int i = 0; i < kResourceTextCount; ++i) {
    const ResourceTextEntry& e = kResourceTexts[i];
    const wchar_t* text = nullptr;
    // Length 0 returns a read-only pointer into the resource itself, so
    // texts of any length compare in full.
    const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(e.id), reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_GT(n, 0) << e.id;
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(n)), e.text) << e.id;
  }
  EXPECT_EQ(ResourceText(110), u"Kota Sorgulama");
  EXPECT_EQ(ResourceText(99999), u"");
}

// --- orvix.exe itself -------------------------------------------------------

std::wstring BuildFile(const char* relative) {
  const char* dir = std::getenv("ORVIX_BINARY_DIR");
  std::string path = std::string(dir ? dir : ".") + "/" + relative;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine's drive for the host root
  std::wstring w(path.begin(), path.end());
  for (auto& c : w)
    if (c == L'/') c = L'\\';
  return w;
}

// Runs orvix.exe with the given command-line tail, pumping this thread's
// messages meanwhile (it may send to our windows), and returns its exit code.
DWORD RunOrvix(const std::wstring& tail) {
  const std::wstring exe = BuildFile("app/orvix.exe");
  std::wstring line = L"\"" + exe + L"\" " + tail;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start orvix.exe: " << GetLastError();
    return 999;
  }
  const orvix::win::UniqueHandleNull thread(pi.hThread);
  const orvix::win::UniqueHandleNull process(pi.hProcess);
  const ULONGLONG deadline = GetTickCount64() + 30000;
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 500, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (r == WAIT_OBJECT_0) break;
    if (GetTickCount64() > deadline) {
      TerminateProcess(pi.hProcess, 999);
      ADD_FAILURE() << "orvix.exe did not end";
      break;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  return code;
}

TEST_F(HiddenWindow, ExitSwitchClosesARunningQuery) {
  HWND w = CreateInstanceWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(RunOrvix(L"-exit 0"), 0u);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(HiddenWindow, ASingleArgumentOrAnUnknownSwitchRunsNothing) {
  HWND w = CreateInstanceWindow();
  ASSERT_NE(w, nullptr);
  for (const wchar_t* tail : {L"-exit", L"", L"-Exit 0", L"exit 0", L"\"-exit \" 0"}) {
    EXPECT_EQ(RunOrvix(tail), 0u) << tail;
    EXPECT_TRUE(IsWindow(w)) << tail;
  }
}

TEST(Orvix, ManifestAsksForCommonControlsSix) {
  const std::wstring exe = BuildFile("app/orvix.exe");
  HMODULE m = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr);
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(r, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(m, r)));
  const std::string manifest(data, SizeofResource(m, r));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  FreeLibrary(m);
}

}  // namespace
}  // namespace orvix::app
