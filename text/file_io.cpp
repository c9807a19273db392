// The parts of whole-file access that are the same on every system.
#include "text/file_io.h"

#include <cerrno>
#include <cstring>

#include "text/errors.h"
#include "text/platform.h"

namespace orvix::fileio {

namespace {

std::string Quoted(const std::u16string& name) {
  return "\"" + platform::Utf16ToUtf8(name) + "\"";
}

}  // namespace

std::string ReadWholeFile(const std::u16string& name) {
  std::string reason;
  detail::UniqueFile file = detail::OpenFile(name, false, reason);
  if (!file) throw EFOpenError("Cannot open file " + Quoted(name) + ". " + reason, name);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    throw EFOpenError("Cannot open file " + Quoted(name) + ". " + std::strerror(EIO), name);
  }
  return bytes;
}

void WriteWholeFile(const std::u16string& name, std::string_view bytes) {
  std::string reason;
  detail::UniqueFile file = detail::OpenFile(name, true, reason);
  if (!file) throw EFCreateError("Cannot create file " + Quoted(name) + ". " + reason, name);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !closed) {
    throw EFileError("Stream write error", name);
  }
}

}  // namespace orvix::fileio
