// Turns fuzzer bytes into the UTF-16 text the HTML unit reads. The first
// byte picks the decoding: odd reads the rest as UTF-16LE (so characters
// above U+00FF and lone surrogates appear), even decodes it with the system
// code page, as the program decodes response bodies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/platform.h"

namespace orvix::fuzz {

inline std::u16string FuzzText(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  const bool wide = (data[0] & 1) != 0;
  ++data;
  --size;
  if (wide) {
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return text;
  }
  return platform::AnsiToWide(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace orvix::fuzz
