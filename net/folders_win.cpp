#include "net/folders_win.h"

#include <shlobj.h>

#include "text/file_io.h"
#include "text/platform.h"
#include "text/win_text.h"

namespace orvix {

std::u16string TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  return FromWide(buffer, n);
}

std::u16string SpecialFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer))) return {};
  return FromWide(buffer);
}

bool FileExists(const std::u16string& path) { return !path.empty() && fileio::FileExists(path); }

bool AnsiFileExists(const std::string& path) { return FileExists(platform::AnsiToWide(path)); }

}  // namespace orvix
