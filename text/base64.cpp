#include "text/base64.h"

#include <array>
#include <cstdint>

namespace orvix {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 76;

// 0..63 for alphabet characters, 64 for "=", -1 for everything skipped.
constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
  t[static_cast<unsigned char>('=')] = 64;
  return t;
}
constexpr auto kDecodeTable = MakeDecodeTable();
constexpr std::int8_t kPad = 64;

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  const std::size_t chars = (bytes.size() + 2) / 3 * 4;
  std::string out;
  out.reserve(chars + chars / kLineLength * 2);
  std::size_t column = 0;
  auto put = [&](char c) {
    out += c;
    if (++column == kLineLength) {
      out += "\r\n";
      column = 0;
    }
  };
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                            static_cast<unsigned char>(bytes[i + 1]) << 8 |
                            static_cast<unsigned char>(bytes[i + 2]);
    put(kBase64Alphabet[v >> 18]);
    put(kBase64Alphabet[(v >> 12) & 63]);
    put(kBase64Alphabet[(v >> 6) & 63]);
    put(kBase64Alphabet[v & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    put(kBase64Alphabet[v >> 18]);
    put(kBase64Alphabet[(v >> 12) & 63]);
    put(rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=');
    put('=');
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::array<std::int8_t, 4> group{};
  std::size_t filled = 0;
  for (const char ch : text) {
    const std::int8_t v = kDecodeTable[static_cast<unsigned char>(ch)];
    if (v < 0) continue;
    group[filled++] = v;
    if (filled < 4) continue;
    filled = 0;
    // Only whole groups are decoded; an incomplete tail never reaches here.
    if (group[0] == kPad || group[1] == kPad) continue;
    const std::uint32_t bits = static_cast<std::uint32_t>(group[0]) << 18 |
                               static_cast<std::uint32_t>(group[1]) << 12 |
                               static_cast<std::uint32_t>(group[2] == kPad ? 0 : group[2]) << 6 |
                               static_cast<std::uint32_t>(group[3] == kPad ? 0 : group[3]);
    out += static_cast<char>(bits >> 16);
    if (group[2] == kPad) continue;
    out += static_cast<char>((bits >> 8) & 0xFF);
    if (group[3] == kPad) continue;
    out += static_cast<char>(bits & 0xFF);
  }
  return out;
}

}  // namespace orvix
