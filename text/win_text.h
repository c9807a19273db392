// UTF-16 text at the Win32 boundary: the core keeps std::u16string, the
// wide Windows calls take wchar_t, which is the same 16-bit unit there.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

// The text as a zero-terminated wide string for a Windows call; lives as
// long as the text is not changed.
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The characters of a view for a Windows call that takes a length with
// them (not zero-terminated).
inline const wchar_t* Wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

// A wide buffer the system filled, as text.
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string FromWide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace orvix
