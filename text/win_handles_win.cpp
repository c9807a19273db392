#include "text/win_handles.h"

#include <gdiplus.h>

#include "text/platform.h"
#include "text/win_text.h"

namespace orvix::win {

GdiplusScope::GdiplusScope() noexcept {
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusScope::~GdiplusScope() {
  if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
}

Win32Error::Win32Error(const char* what, DWORD code)
    : std::runtime_error(std::string(what) + ": " + SystemMessage(code)), code_(code) {}

void ThrowLastError(const char* what) { throw Win32Error(what, ::GetLastError()); }

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocal owned(buffer);
  std::u16string text;
  if (length != 0 && buffer != nullptr) text = FromWide(buffer, length);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
  if (text.empty()) return "System error " + std::to_string(code);
  return platform::Utf16ToUtf8(text);
}

}  // namespace orvix::win
