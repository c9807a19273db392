// Whole-file access by UTF-16 name, for the string lists and the INI store.
//
// The names in settings paths are UTF-16 and may hold Turkish letters, so on
// Windows files are opened by their wide name (file_io_win.cpp); elsewhere
// the name goes to the C library as UTF-8 (file_io_portable.cpp). Both
// halves report the system's own reason text on failure.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace orvix::fileio {

// True when name denotes an existing file (not a folder).
bool FileExists(const std::u16string& name);

// Returns the file's bytes. Raises EFOpenError ("Cannot open file "%s". %s")
// when it cannot be opened or read.
std::string ReadWholeFile(const std::u16string& name);

// Creates or truncates the file and writes bytes to it. Raises EFCreateError
// ("Cannot create file "%s". %s") when it cannot be created, and EFileError
// when writing or closing fails (a short write must not pass as saved).
void WriteWholeFile(const std::u16string& name, std::string_view bytes);

namespace detail {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// The system half: opens the file for binary reading or for writing
// (created or truncated). On failure returns null and sets reason to the
// system's text for the error.
UniqueFile OpenFile(const std::u16string& name, bool forWriting, std::string& reason);

}  // namespace detail

}  // namespace orvix::fileio
