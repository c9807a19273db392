#include "app/win_resource.h"

namespace orvix::win {

Win32Error::Win32Error(const char* what, DWORD code)
    : std::runtime_error(std::string(what) + ": " + SystemMessage(code)), code_(code) {}

void ThrowLastError(const char* what) { throw Win32Error(what, ::GetLastError()); }

std::string SystemMessage(DWORD code) {
  char buf[512] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                             0, buf, sizeof buf, nullptr);
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) --n;
  return std::string(buf, n);
}

}  // namespace orvix::win
