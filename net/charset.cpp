#include "net/charset.h"

#include <algorithm>
#include <array>

#include "text/codepage.h"
#include "text/text_utils.h"

namespace orvix {
namespace {

// Browsers look for a <meta> charset in this many bytes at the top.
constexpr std::size_t kPrescanBytes = 1024;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// `lower` is already lower case.
bool EqualsIgnoreCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (LowerAscii(text[i]) != lower[i]) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::size_t pos, std::string_view lower) {
  return pos <= text.size() && text.size() - pos >= lower.size() &&
         EqualsIgnoreCase(text.substr(pos, lower.size()), lower);
}

struct Label {
  std::string_view name;
  PortalCharset charset;
};

// The labels browsers give the Windows-1254, Windows-1252 and UTF-8
// decoders (the WHATWG encoding table), lower case; the Western ones read
// as Windows-1254 here (see PortalCharset).
constexpr std::array kLabels = {
    Label{"windows-1254", PortalCharset::kWindows1254},   Label{"cp1254", PortalCharset::kWindows1254},
    Label{"x-cp1254", PortalCharset::kWindows1254},       Label{"iso-8859-9", PortalCharset::kWindows1254},
    Label{"iso8859-9", PortalCharset::kWindows1254},      Label{"iso88599", PortalCharset::kWindows1254},
    Label{"iso_8859-9", PortalCharset::kWindows1254},     Label{"iso_8859-9:1989", PortalCharset::kWindows1254},
    Label{"iso-ir-148", PortalCharset::kWindows1254},     Label{"csisolatin5", PortalCharset::kWindows1254},
    Label{"latin5", PortalCharset::kWindows1254},         Label{"l5", PortalCharset::kWindows1254},
    Label{"windows-1252", PortalCharset::kWindows1254},   Label{"cp1252", PortalCharset::kWindows1254},
    Label{"x-cp1252", PortalCharset::kWindows1254},       Label{"iso-8859-1", PortalCharset::kWindows1254},
    Label{"iso8859-1", PortalCharset::kWindows1254},      Label{"iso88591", PortalCharset::kWindows1254},
    Label{"iso_8859-1", PortalCharset::kWindows1254},     Label{"iso_8859-1:1987", PortalCharset::kWindows1254},
    Label{"iso-ir-100", PortalCharset::kWindows1254},     Label{"csisolatin1", PortalCharset::kWindows1254},
    Label{"latin1", PortalCharset::kWindows1254},         Label{"l1", PortalCharset::kWindows1254},
    Label{"cp819", PortalCharset::kWindows1254},          Label{"ibm819", PortalCharset::kWindows1254},
    Label{"us-ascii", PortalCharset::kWindows1254},       Label{"ascii", PortalCharset::kWindows1254},
    Label{"ansi_x3.4-1968", PortalCharset::kWindows1254}, Label{"utf-8", PortalCharset::kUtf8},
    Label{"utf8", PortalCharset::kUtf8},                  Label{"unicode-1-1-utf-8", PortalCharset::kUtf8},
    Label{"unicode11utf8", PortalCharset::kUtf8},         Label{"unicode20utf8", PortalCharset::kUtf8},
    Label{"x-unicode20utf8", PortalCharset::kUtf8},
};

// The charset named in a meta element's content value: after "charset",
// blanks, "=", blanks, a quoted value or one up to a blank or ";". Empty
// when there is none.
std::string_view CharsetInMetaContent(std::string_view content) {
  std::size_t pos = 0;
  while (true) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = pos; i + 7 <= content.size(); ++i) {
      if (StartsWithIgnoreCase(content, i, "charset")) {
        found = i;
        break;
      }
    }
    if (found == std::string_view::npos) return {};
    pos = found + 7;
    while (pos < content.size() && IsBlank(content[pos])) ++pos;
    if (pos >= content.size() || content[pos] != '=') continue;
    ++pos;
    while (pos < content.size() && IsBlank(content[pos])) ++pos;
    if (pos >= content.size()) return {};
    const char quote = content[pos];
    if (quote == '"' || quote == '\'') {
      const std::size_t close = content.find(quote, pos + 1);
      if (close == std::string_view::npos) return {};
      return content.substr(pos + 1, close - pos - 1);
    }
    std::size_t end = pos;
    while (end < content.size() && !IsBlank(content[end]) && content[end] != ';') ++end;
    return content.substr(pos, end - pos);
  }
}

// One attribute of a tag in the prescan: the name, and the value (empty when
// it has none). `pos` moves past it, always by at least one byte unless the
// tag ends there; false at the tag's ">" or the end of the text.
bool NextAttribute(std::string_view text, std::size_t& pos, std::string_view& name, std::string_view& value) {
  while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '/')) ++pos;
  if (pos >= text.size() || text[pos] == '>') return false;
  const std::size_t nameStart = pos;
  ++pos;  // the first byte belongs to the name, even an "="
  while (pos < text.size() && text[pos] != '=' && text[pos] != '/' && text[pos] != '>' && !IsBlank(text[pos])) ++pos;
  name = text.substr(nameStart, pos - nameStart);
  value = {};
  std::size_t after = pos;
  while (after < text.size() && IsBlank(text[after])) ++after;
  if (after >= text.size() || text[after] != '=') return true;
  pos = after + 1;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos >= text.size()) return true;
  const char quote = text[pos];
  if (quote == '"' || quote == '\'') {
    const std::size_t close = text.find(quote, pos + 1);
    const std::size_t end = close == std::string_view::npos ? text.size() : close;
    value = text.substr(pos + 1, end - pos - 1);
    pos = close == std::string_view::npos ? text.size() : close + 1;
    return true;
  }
  const std::size_t valueStart = pos;
  while (pos < text.size() && text[pos] != '>' && !IsBlank(text[pos])) ++pos;
  value = text.substr(valueStart, pos - valueStart);
  return true;
}

// The known charset a meta element declares, the tag's attributes starting
// at `pos`; `pos` ends past the tag.
std::optional<std::string_view> MetaElementCharset(std::string_view text, std::size_t& pos) {
  std::string_view charset, content;
  bool gotCharset = false, gotContent = false, gotPragma = false;
  std::string_view name, value;
  while (NextAttribute(text, pos, name, value)) {
    // The first of each name counts, as in an HTML parser.
    if (EqualsIgnoreCase(name, "charset")) {
      if (!gotCharset) charset = value;
      gotCharset = true;
    } else if (EqualsIgnoreCase(name, "content")) {
      if (!gotContent) content = value;
      gotContent = true;
    } else if (EqualsIgnoreCase(name, "http-equiv")) {
      if (EqualsIgnoreCase(TrimBlanks(value), "content-type")) gotPragma = true;
    }
  }
  if (pos < text.size()) ++pos;  // the ">"
  std::string_view label;
  if (gotCharset) {
    label = charset;
  } else if (gotContent && gotPragma) {
    label = CharsetInMetaContent(content);
  }
  if (!label.empty() && CharsetFromLabel(label)) return label;
  return std::nullopt;
}

}  // namespace

std::optional<PortalCharset> CharsetFromLabel(std::string_view label) {
  label = TrimBlanks(label);
  for (const Label& l : kLabels) {
    if (EqualsIgnoreCase(label, l.name)) return l.charset;
  }
  return std::nullopt;
}

std::string CharsetParameter(std::string_view contentType) {
  // media-type *( ";" name "=" ( token / quoted-string ) ); the media type
  // itself is skipped.
  std::size_t pos = contentType.find(';');
  while (pos != std::string_view::npos && pos < contentType.size()) {
    ++pos;  // past the ";"
    const std::size_t eq = contentType.find_first_of("=;", pos);
    if (eq == std::string_view::npos) return {};
    if (contentType[eq] == ';') {
      pos = eq;
      continue;
    }
    const bool isCharset = EqualsIgnoreCase(TrimBlanks(contentType.substr(pos, eq - pos)), "charset");
    std::size_t v = eq + 1;
    while (v < contentType.size() && IsBlank(contentType[v])) ++v;
    std::string value;
    if (v < contentType.size() && contentType[v] == '"') {
      ++v;
      while (v < contentType.size() && contentType[v] != '"') {
        if (contentType[v] == '\\' && v + 1 < contentType.size()) ++v;
        value += contentType[v++];
      }
      pos = contentType.find(';', v);
    } else {
      const std::size_t end = contentType.find(';', v);
      value = TrimBlanks(contentType.substr(v, end == std::string_view::npos ? std::string_view::npos : end - v));
      pos = end;
    }
    if (isCharset) return value;
  }
  return {};
}

std::string MetaCharset(std::string_view page) {
  const std::string_view text = page.substr(0, kPrescanBytes);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lt = text.find('<', pos);
    if (lt == std::string_view::npos) break;
    pos = lt;
    if (text.compare(pos, 4, "<!--") == 0) {
      // "<!-->" closes at once, as in the HTML parser.
      const std::size_t close = text.find("-->", pos + 2);
      if (close == std::string_view::npos) break;
      pos = close + 3;
    } else if (StartsWithIgnoreCase(text, pos, "<meta") && pos + 5 < text.size() &&
               (IsBlank(text[pos + 5]) || text[pos + 5] == '/')) {
      pos += 5;
      if (const auto label = MetaElementCharset(text, pos)) return std::string(*label);
    } else if (pos + 1 < text.size() &&
               (IsAsciiLetter(text[pos + 1]) ||
                (text[pos + 1] == '/' && pos + 2 < text.size() && IsAsciiLetter(text[pos + 2])))) {
      // Another tag: its attributes are stepped over so that a ">" or "<meta"
      // inside a quoted value is not taken for markup.
      pos = text.find_first_of(" \t\n\r\f/>", pos + 2);
      if (pos == std::string_view::npos) break;
      std::string_view name, value;
      while (NextAttribute(text, pos, name, value)) {
      }
      if (pos < text.size()) ++pos;
    } else if (pos + 1 < text.size() && (text[pos + 1] == '!' || text[pos + 1] == '/' || text[pos + 1] == '?')) {
      const std::size_t close = text.find('>', pos + 2);
      if (close == std::string_view::npos) break;
      pos = close + 1;
    } else {
      ++pos;
    }
  }
  return {};
}

bool DecodeUtf8Strict(std::string_view bytes, std::u16string& out) {
  out.clear();
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
      out += static_cast<char16_t>(b0);
      ++i;
      continue;
    }
    std::size_t len;
    char32_t cp;
    // The allowed range of the second byte rules out overlong forms,
    // surrogates and code points above U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2;
      cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3;
      cp = b0 & 0x0Fu;
      if (b0 == 0xE0) lo = 0xA0;
      if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4;
      cp = b0 & 0x07u;
      if (b0 == 0xF0) lo = 0x90;
      if (b0 == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if (k == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return false;
      cp = cp << 6 | (b & 0x3Fu);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return true;
}

PortalCharset DeclaredCharset(std::string_view body, std::string_view contentType) {
  if (body.substr(0, kUtf8Bom.size()) == kUtf8Bom) return PortalCharset::kUtf8;
  // A label the program does not know counts as none, as in a browser.
  if (const auto fromHeader = CharsetFromLabel(CharsetParameter(contentType))) return *fromHeader;
  if (const auto fromMeta = CharsetFromLabel(MetaCharset(body))) return *fromMeta;
  return PortalCharset::kWindows1254;
}

std::u16string DecodePortalText(std::string_view body, std::string_view contentType) {
  const PortalCharset charset = DeclaredCharset(body, contentType);
  if (body.substr(0, kUtf8Bom.size()) == kUtf8Bom) body.remove_prefix(kUtf8Bom.size());
  if (charset == PortalCharset::kUtf8) {
    std::u16string text;
    if (DecodeUtf8Strict(body, text)) return text;
    // Not UTF-8 after all: the portal's own code page under a wrong label.
  }
  return codepage::Decode(1254, body);
}

}  // namespace orvix
