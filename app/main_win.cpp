// orvix.exe: Plumo's internet helper. No window of its own; one switch, one
// job, exit code 0 whatever happened.
#include <windows.h>

#include <csignal>
#include <exception>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/dispatch_win.h"
#include "app/process_state_win.h"
#include "app/settings_paths_win.h"
#include "html/html_tables.h"
#include "text/win_handles.h"

namespace {

// A crash must not show the user a box or hand Plumo an error code: end the
// process quietly with the one exit code the program has. TerminateProcess,
// not ExitProcess, since after a fault the process's locks may be held.
[[noreturn]] void EndQuietly() {
  ::TerminateProcess(::GetCurrentProcess(), 0);
  for (;;) {
  }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) { EndQuietly(); }

void OnAbortSignal(int) { EndQuietly(); }

void InstallQuietFailureHandlers() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate([] { EndQuietly(); });
  std::signal(SIGABRT, OnAbortSignal);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InstallQuietFailureHandlers();

  // Start-up in this order; shut-down in reverse.
  {
    const orvix::win::GdiplusScope gdiplus;
    try {
      orvix::InitHtmlTables();
      orvix::app::InitSettingsPathsFromShell();
    } catch (...) {
    }
    const orvix::win::ComScope com;

    try {
      // The parent passes 8-bit text in the system code page; the jobs keep
      // it that way.
      std::vector<std::string> words = orvix::app::SplitCommandLine(::GetCommandLineA());
      if (!words.empty()) words.erase(words.begin());  // the program name
      orvix::app::Dispatch(words);
    } catch (...) {
    }
  }
  orvix::ClearProcessState();
  return 0;
}
