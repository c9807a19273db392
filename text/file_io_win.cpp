// File opening for Windows: by the wide name, so that settings paths with
// letters outside the ANSI code page still open; the reason text is the
// system's message for the error (in the user's language).
#include <windows.h>

#include <cstdio>

#include "text/file_io.h"
#include "text/platform.h"
#include "text/win_handles.h"
#include "text/win_text.h"

namespace orvix::fileio {

bool FileExists(const std::u16string& name) {
  const DWORD attributes = GetFileAttributesW(Wide(name));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace detail {

UniqueFile OpenFile(const std::u16string& name, bool forWriting, std::string& reason) {
  SetLastError(0);
  UniqueFile file(_wfopen(Wide(name), forWriting ? L"wb" : L"rb"));
  if (!file) {
    const DWORD code = GetLastError();
    reason = win::SystemMessage(code != 0 ? code : ERROR_FILE_NOT_FOUND);
  }
  return file;
}

}  // namespace detail

}  // namespace orvix::fileio
