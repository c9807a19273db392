// File opening for Windows: by the wide name, so that settings paths with
// letters outside the ANSI code page still open; the reason text is the
// system's message for the error (in the user's language).
#include <windows.h>

#include <cstdio>

#include "text/file_io.h"
#include "text/platform.h"

namespace orvix::fileio {

namespace {

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length != 0 && buffer != nullptr) text.assign(reinterpret_cast<const char16_t*>(buffer), length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  if (text.empty()) return "System error " + std::to_string(code);
  return platform::Utf16ToUtf8(text);
}

}  // namespace

bool FileExists(const std::u16string& name) {
  const DWORD attributes = GetFileAttributesW(W(name));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace detail {

UniqueFile OpenFile(const std::u16string& name, bool forWriting, std::string& reason) {
  SetLastError(0);
  UniqueFile file(_wfopen(W(name), forWriting ? L"wb" : L"rb"));
  if (!file) {
    const DWORD code = GetLastError();
    reason = SystemMessage(code != 0 ? code : ERROR_FILE_NOT_FOUND);
  }
  return file;
}

}  // namespace detail

}  // namespace orvix::fileio
