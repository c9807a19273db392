// Helpers shared by the fuzz targets: a property check that stops the run
// with a message, and a scratch file for the parsers that read files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/platform.h"

namespace orvix::fuzz {

// A broken property is a finding like a crash: libFuzzer saves the input.
inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// One scratch file per process (in /dev/shm when there is one, so that the
// file round trip costs no disk writes), removed at exit.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    path_ = std::string(dir) + "/orvix-fuzz-" + std::to_string(getpid()) + ".ini";
    name_ = platform::Utf8ToUtf16(path_);
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's content with bytes; returns the UTF-16 file name.
  const std::u16string& Write(std::string_view bytes) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    Check(f != nullptr, "scratch file cannot be created");
    Check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(), "scratch file write");
    std::fclose(f);
    return name_;
  }
  const std::u16string& Name() const { return name_; }

 private:
  std::string path_;
  std::u16string name_;
};

}  // namespace orvix::fuzz
