// The one error type of the DOM: a DOM Level 2 exception code with its fixed
// message.
#pragma once

#include <exception>

namespace orvix {

namespace dom_error {
enum : int {
  IndexSize = 1,
  DomStringSize = 2,
  HierarchyRequest = 3,
  WrongDocument = 4,
  InvalidCharacter = 5,
  NoDataAllowed = 6,
  NoModificationAllowed = 7,
  NotFound = 8,
  NotSupported = 9,
  InUseAttribute = 10,
  InvalidState = 11,
  Syntax = 12,
  InvalidModification = 13,
  Namespace = 14,
  InvalidAccess = 15,
};
}  // namespace dom_error

class DomException : public std::exception {
 public:
  // `code` is 1..15; the message is chosen by it.
  explicit DomException(int code) noexcept : code_(code) {}
  int code() const noexcept { return code_; }
  const char* what() const noexcept override { return MessageOf(code_); }
  // The fixed message of a code; an empty text for codes outside 1..15.
  static const char* MessageOf(int code) noexcept;

 private:
  int code_;
};

}  // namespace orvix
