#include "net/encoding.h"

#include <array>
#include <cstdint>

namespace orvix {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool CopiedByUrlEncode(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '$': case '\'': case '(': case ')': case '*':
    case '-': case '.': case '@': case '_':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string UrlEncode(std::string_view text) {
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  std::string out;
  out.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (CopiedByUrlEncode(c)) {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
    }
  }
  return out;
}

bool IsDottedQuad(std::string_view text) {
  if (text.empty()) return false;
  int dots = 0;
  for (const char c : text) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 3;
}

}  // namespace orvix
