// orvix.exe: Plumo's internet helper. No window of its own; one switch, one
// job, exit code 0 whatever happened.
#include <windows.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/crash_log_win.h"
#include "app/dispatch_win.h"
#include "app/process_state_win.h"
#include "app/settings_paths.h"
#include "app/settings_paths_win.h"
#include "html/html_tables.h"
#include "text/win_handles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  orvix::app::InstallQuietFailureHandlers();

  // Start-up in this order; shut-down in reverse.
  {
    const orvix::win::GdiplusScope gdiplus;
    try {
      orvix::InitHtmlTables();
      orvix::app::InitSettingsPathsFromShell();
      orvix::app::PrepareCrashLog(orvix::app::SettingsFolder());
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
