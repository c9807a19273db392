// Exceptions of the containers and of file access.
//
// The texts are fixed (callers and the parent program only ever see the
// text), so the classes only group them for catching:
//   EListError      index, duplicate and sorted-list errors of string lists
//   EConvertError   Assign between incompatible objects
//   EFileError      a file cannot be opened, created or written
//     EFOpenError   "Cannot open file "<name>". <system reason>"
//     EFCreateError "Cannot create file "<name>". <system reason>"
// what() is UTF-8; file errors also keep the UTF-16 file name.
#pragma once

#include <stdexcept>
#include <string>

namespace orvix {

class EListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EFileError : public std::runtime_error {
 public:
  EFileError(const std::string& message, std::u16string fileName)
      : std::runtime_error(message), fileName_(std::move(fileName)) {}
  const std::u16string& FileName() const { return fileName_; }

 private:
  std::u16string fileName_;
};

class EFOpenError : public EFileError {
 public:
  using EFileError::EFileError;
};

class EFCreateError : public EFileError {
 public:
  using EFileError::EFileError;
};

}  // namespace orvix
