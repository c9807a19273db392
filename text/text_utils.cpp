#include "text/text_utils.h"

namespace orvix {

void WipeText(std::string& text) {
  volatile char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

std::string EncodeUtf16Le(std::u16string_view text, std::string prefix) {
  std::string bytes = std::move(prefix);
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[start + 2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[start + 2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

std::u16string DecodeUtf16Le(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return text;
}

}  // namespace orvix
