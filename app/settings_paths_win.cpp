#include "app/settings_paths_win.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "app/settings_paths.h"

namespace orvix::app {

void InitSettingsPathsFromShell() {
  wchar_t buffer[MAX_PATH] = {};
  std::u16string folder;
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, buffer)))
    folder = reinterpret_cast<const char16_t*>(buffer);
  InitSettingsPaths(folder);
}

}  // namespace orvix::app
