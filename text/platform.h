// The seam between the portable core and the operating system.
//
// The core never includes a Windows header. What it needs from the system
// lives here: locale comparison and upper-casing of UTF-16 text, conversion
// between UTF-16 and the single-byte system code page, the user's number
// separators, and the clock. platform_win.cpp implements it with Win32 calls
// (Windows builds); platform_portable.cpp implements it for the native build
// with Windows-1254 and Turkish separators as defaults, the settings of the
// target systems.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvix::platform {

// Compares two texts the way the user's locale orders them (like
// CompareStringW). Returns <0, 0 or >0. With caseSensitive false, letter case
// is ignored.
int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive);

// Compares two single-byte texts of the system code page the same way
// (converted to UTF-16 first).
int CompareAnsiText(std::string_view a, std::string_view b, bool caseSensitive);

// Non-linguistic upper-casing: the simple Unicode mapping that Windows uses
// without LCMAP_LINGUISTIC_CASING, whatever the user's locale. On a Turkish
// system "i" still becomes "I" (not the dotted capital), so lookups of ASCII
// keys keep working. The result has the same length as the input.
std::u16string UpperCase(std::u16string_view text);

// The single-byte system code page (1254 on the target systems).
unsigned AnsiCodePage();

// Single-byte text in the system code page to UTF-16 and back. Characters
// that the code page cannot hold become '?'.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

// The user's decimal and digit-group separators ("," and "." on Turkish
// systems).
char16_t DecimalSeparator();
char16_t GroupSeparator();

// Milliseconds since 1970-01-01 00:00 UTC. On Windows computed from the
// local clock and the zone bias (standard or daylight, as the zone reports),
// so machines in different zones give the same value at the same instant.
std::int64_t UnixTimeMs();

// Overrides for tools and tests. The diagnostic tool lets maintainers pick a
// code page (1254, 1252 or 65001) and separators; 0 restores the system's.
void SetAnsiCodePageOverride(unsigned codePage);
void SetSeparatorsOverride(char16_t decimal, char16_t group);

// Conversions between UTF-8 and UTF-16, independent of the system code page
// (for command-line tools and fixtures).
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace orvix::platform
