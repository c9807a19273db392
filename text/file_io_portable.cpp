// File opening for the native build: names go to the C library as UTF-8.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "text/file_io.h"
#include "text/platform.h"

namespace orvix::fileio {

bool FileExists(const std::u16string& name) {
  std::error_code ec;
  const auto status = std::filesystem::status(std::filesystem::path(platform::Utf16ToUtf8(name)), ec);
  return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

namespace detail {

UniqueFile OpenFile(const std::u16string& name, bool forWriting, std::string& reason) {
  errno = 0;
  UniqueFile file(std::fopen(platform::Utf16ToUtf8(name).c_str(), forWriting ? "wb" : "rb"));
  if (!file) reason = std::strerror(errno ? errno : ENOENT);
  return file;
}

}  // namespace detail

}  // namespace orvix::fileio
