// Single-byte code page tables (Windows-1254 and Windows-1252) and the
// simple upper-case mapping, used by the portable side of the platform seam
// and by the tools. Windows builds use the system's own tables instead.
#pragma once

#include <string>
#include <string_view>

namespace orvix::codepage {

// Decodes single-byte text of code page 1254, 1252 or 65001 (UTF-8). Bytes
// that the code page leaves undefined map to the code point of the same
// value, as Windows does.
std::u16string Decode(unsigned codePage, std::string_view bytes);

// Encodes UTF-16 into code page 1254, 1252 or 65001. Characters the code
// page cannot hold become '?'.
std::string Encode(unsigned codePage, std::u16string_view text);

// True when the code page is one of those above.
bool IsSupported(unsigned codePage);

// Simple (non-linguistic) upper-case mapping of one UTF-16 code unit.
char16_t SimpleUpper(char16_t c);

}  // namespace orvix::codepage
