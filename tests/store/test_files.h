// Scratch files for the store and string list tests: a private folder per
// test program, removed at exit, and byte-level helpers for UTF-16 files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "text/platform.h"

namespace orvix::scratch {

inline std::filesystem::path ScratchDir() {
  struct Dir {
    std::filesystem::path path;
    Dir() {
      // CTest starts each case as its own process, two at a time, and each
      // removes its folder at exit: the folder must be this process's alone,
      // so it is made exclusively (create_directory fails on an existing one)
      // under a random name.
      std::random_device random;
      const auto base = std::filesystem::temp_directory_path();
      for (;;) {
        path = base / ("orvix-store-test-" + std::to_string(platform::UnixTimeMs()) + "-" +
                       std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(path)) break;
      }
    }
    ~Dir() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static Dir dir;
  return dir.path;
}

// A UTF-16 file name for a scratch file.
inline std::u16string ScratchFile(std::string_view name) {
  return (ScratchDir() / std::filesystem::path(std::string(name))).u16string();
}

inline void WriteBytes(const std::u16string& name, std::string_view bytes) {
  std::ofstream out(std::filesystem::path(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::u16string& name) {
  std::ifstream in(std::filesystem::path(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// UTF-16 LE bytes of text, optionally with the FF FE mark.
inline std::string Utf16Le(std::u16string_view text, bool mark = false) {
  std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
  for (const char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// A scratch file holding text as UTF-16 LE (with the FF FE mark unless told
// otherwise); returns its name.
inline std::u16string ScratchUtf16File(std::string_view name, std::u16string_view text, bool mark = true) {
  const std::u16string file = ScratchFile(name);
  WriteBytes(file, Utf16Le(text, mark));
  return file;
}

}  // namespace orvix::scratch
