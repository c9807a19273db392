#include "app/settings_paths_win.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "app/settings_paths.h"
#include "net/folders_win.h"

namespace orvix::app {

void InitSettingsPathsFromShell() {
  InitSettingsPaths(SpecialFolder(CSIDL_APPDATA));
}

}  // namespace orvix::app
