// The text of a portal answer: its bytes decoded by the charset the answer
// declares, whatever the code page of the Windows it runs on.
//
// The quota portal writes its pages in the Turkish Windows code page and
// says so, or says nothing, or (its servlet container, on a page it was told
// nothing about) says ISO-8859-1. A Turkish user may run Windows in another
// language, so the system code page is no guide; the answer's own
// declaration is, as in a browser: a UTF-8 byte order mark, else the
// charset of the Content-Type header, else a <meta> charset near the top of
// the page, else Windows-1254.
//
// Everything here is portable, keeps no state and runs in linear time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvix {

// The decoders behind the charset labels the program knows. The labels
// follow browsers (ISO-8859-9 and Latin-5 decode as Windows-1254), with one
// exception: a Western label (ISO-8859-1 and its aliases, US-ASCII,
// windows-1252) decodes as Windows-1254 too. It is the label a servlet
// container puts on a page it knows nothing about, and this portal's bytes
// are Turkish whatever the label: Windows-1252 agrees with Windows-1254 on
// every byte but six letters (Ð ð Ý ý Þ þ against Ğ ğ İ ı Ş ş), and the
// Western six never occur in the portal's pages.
enum class PortalCharset { kWindows1254, kUtf8 };

// The decoder of a charset label (ASCII case and surrounding blanks do not
// count); nothing for a label the program does not know.
std::optional<PortalCharset> CharsetFromLabel(std::string_view label);

// The charset parameter of a Content-Type value ("text/html; charset=utf-8"),
// unquoted; empty when there is none. Parameter names ignore case.
std::string CharsetParameter(std::string_view contentType);

// The charset a <meta charset=...> or <meta http-equiv="Content-Type"
// content="...; charset=..."> declares within the first 1024 bytes of the
// page (comments and other tags are stepped over); empty when none does.
std::string MetaCharset(std::string_view page);

// Strict UTF-8 to UTF-16: false (and `out` undefined) for an overlong form,
// a surrogate, a code point above U+10FFFF, a stray or missing continuation
// byte, or a sequence cut off at the end.
bool DecodeUtf8Strict(std::string_view bytes, std::u16string& out);

// The charset the answer is decoded with; see DecodePortalText.
PortalCharset DeclaredCharset(std::string_view body, std::string_view contentType);

// The answer's text. A UTF-8 byte order mark wins (and is dropped); else a
// known charset of the Content-Type value, else of a <meta> near the top,
// else Windows-1254. A page declared UTF-8 that is not valid UTF-8 is read
// as Windows-1254: the portal's own code page under a wrong label, and so
// the refusal marker still reads right. Undefined Windows-125x bytes become
// the code point of the same value, as Windows decodes them.
std::u16string DecodePortalText(std::string_view body, std::string_view contentType);

}  // namespace orvix
