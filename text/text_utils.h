// Small text helpers shared across the program: trimming, wiping secrets
// and the byte form of UTF-16LE text.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace orvix {

// The text without leading and trailing characters at or below the blank
// (code 32 and below: spaces, tabs, line breaks, other controls).
template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
  auto blank = [](Char c) { return static_cast<std::make_unsigned_t<Char>>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}
inline std::string_view TrimBlanks(const char* text) { return TrimBlanks(std::string_view(text)); }
// The same for a text of its own (a temporary, say): a trimmed copy.
inline std::string TrimBlanks(const std::string& text) { return std::string(TrimBlanks(std::string_view(text))); }
inline std::u16string TrimBlanks(const std::u16string& text) {
  return std::u16string(TrimBlanks(std::u16string_view(text)));
}

// Overwrites the text's characters with zeros (in a way the compiler may not
// drop) and empties it: for passwords and the bodies that carry them.
void WipeText(std::string& text);

// Little-endian UTF-16 bytes of the text, after prefix (a byte order mark,
// for example). No terminating zero.
std::string EncodeUtf16Le(std::u16string_view text, std::string prefix = {});

// Text from little-endian UTF-16 bytes; an odd last byte is dropped.
std::u16string DecodeUtf16Le(std::string_view bytes);

}  // namespace orvix
