#include "text/codepage.h"

#include "text/platform.h"

namespace orvix::codepage {
namespace {

// 0x80..0x9F of Windows-1252; 0 marks a byte the code page leaves undefined.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t DecodeByte(unsigned codePage, unsigned char b) {
  if (b < 0x80) return b;
  if (b < 0xA0) {
    char16_t c = kHigh1252[b - 0x80];
    // Windows-1254 has no Ž and ž.
    if (codePage == 1254 && (b == 0x8E || b == 0x9E)) c = 0;
    return c ? c : static_cast<char16_t>(b);
  }
  if (codePage == 1254) {
    switch (b) {
      case 0xD0: return 0x011E;  // Ğ
      case 0xDD: return 0x0130;  // İ
      case 0xDE: return 0x015E;  // Ş
      case 0xF0: return 0x011F;  // ğ
      case 0xFD: return 0x0131;  // ı
      case 0xFE: return 0x015F;  // ş
      default: break;
    }
  }
  return b;
}

}  // namespace

bool IsSupported(unsigned codePage) {
  return codePage == 1254 || codePage == 1252 || codePage == 65001;
}

std::u16string Decode(unsigned codePage, std::string_view bytes) {
  if (codePage == 65001) return platform::Utf8ToUtf16(bytes);
  std::u16string out;
  out.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i)
    out[i] = DecodeByte(codePage, static_cast<unsigned char>(bytes[i]));
  return out;
}

std::string Encode(unsigned codePage, std::u16string_view text) {
  if (codePage == 65001) return platform::Utf16ToUtf8(text);
  // Reverse table built on first use for each of the two code pages.
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char found = '?';
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      if (DecodeByte(codePage, static_cast<unsigned char>(b)) == c) {
        found = static_cast<char>(b);
        break;
      }
    }
    out.push_back(found);
  }
  return out;
}

char16_t SimpleUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x0178;
  // The Windows table leaves the dotless i (and the long s) alone: only
  // Turkish linguistic casing maps it.
  if (c == 0x0131 || c == 0x017F) return c;
  if (c >= 0x0100 && c <= 0x017F) {
    // Latin Extended-A: mostly pairs, capital at the even code point,
    // shifted by one in 0x139..0x148 and 0x179..0x17E.
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
      return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    if (c == 0x0130 || c == 0x0138 || c == 0x0149) return c;
    return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x03B1 && c <= 0x03CB && c != 0x03C2) return static_cast<char16_t>(c - 0x20);
  if (c == 0x03C2) return 0x03A3;
  if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return c;
}

}  // namespace orvix::codepage
