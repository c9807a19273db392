// Windows half of the platform seam: the system's own locale, code page and
// clock.
#include <windows.h>

#include <atomic>

#include "text/codepage.h"
#include "text/platform.h"

namespace orvix::platform {
namespace {

std::atomic<unsigned> g_codePage{0};
std::atomic<char16_t> g_decimal{0};
std::atomic<char16_t> g_group{0};

const wchar_t* W(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

int Length(std::size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

char16_t LocaleChar(LCTYPE type, char16_t fallback) {
  wchar_t buf[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 8) > 1) return static_cast<char16_t>(buf[0]);
  return fallback;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  const int r = CompareStringW(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE, W(a),
                               Length(a.size()), W(b), Length(b.size()));
  return r == 0 ? 0 : r - CSTR_EQUAL;
}

int CompareAnsiText(std::string_view a, std::string_view b, bool caseSensitive) {
  return CompareText(AnsiToWide(a), AnsiToWide(b), caseSensitive);
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  if (out.empty()) return out;
  // Without LCMAP_LINGUISTIC_CASING the mapping is the non-linguistic one,
  // the same for every locale.
  const int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, W(text), Length(text.size()),
                             reinterpret_cast<wchar_t*>(out.data()), Length(out.size()));
  if (n != Length(out.size())) {
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = codepage::SimpleUpper(text[i]);
  }
  return out;
}

unsigned AnsiCodePage() {
  const unsigned cp = g_codePage.load();
  return cp ? cp : GetACP();
}

std::u16string AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const unsigned cp = AnsiCodePage();
  const int n = MultiByteToWideChar(cp, 0, text.data(), Length(text.size()), nullptr, 0);
  if (n <= 0) return codepage::Decode(1254, text);
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(cp, 0, text.data(), Length(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const unsigned cp = AnsiCodePage();
  const int n = WideCharToMultiByte(cp, 0, W(text), Length(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return codepage::Encode(1254, text);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, W(text), Length(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

char16_t DecimalSeparator() {
  const char16_t c = g_decimal.load();
  return c ? c : LocaleChar(LOCALE_SDECIMAL, u'.');
}

char16_t GroupSeparator() {
  const char16_t c = g_group.load();
  return c ? c : LocaleChar(LOCALE_STHOUSAND, u',');
}

std::int64_t UnixTimeMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // 100 ns ticks since 1601-01-01; 11644473600 s separate the two epochs.
  return static_cast<std::int64_t>(t.QuadPart / 10000ULL) - 11644473600000LL;
}

void SetAnsiCodePageOverride(unsigned codePage) { g_codePage.store(codePage); }

void SetSeparatorsOverride(char16_t decimal, char16_t group) {
  g_decimal.store(decimal);
  g_group.store(group);
}

}  // namespace orvix::platform
