// Windows half of the platform seam: the system's own locale, code page and
// clock.
#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "text/codepage.h"
#include "text/platform.h"
#include "text/win_text.h"

namespace orvix::platform {
namespace {

std::atomic<unsigned> g_codePage{0};
std::atomic<char16_t> g_decimal{0};
std::atomic<char16_t> g_group{0};


int Length(std::size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

char16_t LocaleChar(LCTYPE type, char16_t fallback) {
  wchar_t buf[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 8) > 1) return static_cast<char16_t>(buf[0]);
  return fallback;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  const int r = CompareStringW(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE, Wide(a),
                               Length(a.size()), Wide(b), Length(b.size()));
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
  const int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Wide(text), Length(text.size()),
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
  const int n = WideCharToMultiByte(cp, 0, Wide(text), Length(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return codepage::Encode(1254, text);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, Wide(text), Length(text.size()), out.data(), n, nullptr, nullptr);
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

// FILETIME units (100 ns since 1601-01-01) of 1970-01-01 00:00.
constexpr std::int64_t kUnixEpochFileTime = 116444736000000000LL;
constexpr std::int64_t kFileTimePerMinute = 600000000LL;
constexpr std::int64_t kFileTimePerMs = 10000;

std::int64_t UnixTimeMs() {
  // The local wall clock as a count, read as if it were UTC.
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  FILETIME ft;
  if (!::SystemTimeToFileTime(&local, &ft)) return 0;
  const std::int64_t localNow =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);

  // UTC = local + bias; the bias that applies right now depends on whether
  // the zone reports standard or daylight time.
  TIME_ZONE_INFORMATION zone;
  std::int64_t bias = 0;
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_STANDARD:
      bias = zone.Bias + zone.StandardBias;
      break;
    case TIME_ZONE_ID_DAYLIGHT:
      bias = zone.Bias + zone.DaylightBias;
      break;
    case TIME_ZONE_ID_UNKNOWN:
      bias = zone.Bias;
      break;
    default:  // TIME_ZONE_ID_INVALID: take the clock as UTC
      break;
  }
  // The epoch as the local clock shows it, then the distance from it.
  const std::int64_t localEpoch = kUnixEpochFileTime - bias * kFileTimePerMinute;
  return std::llabs(localNow - localEpoch) / kFileTimePerMs;
}

void SetAnsiCodePageOverride(unsigned codePage) { g_codePage.store(codePage); }

void SetSeparatorsOverride(char16_t decimal, char16_t group) {
  g_decimal.store(decimal);
  g_group.store(group);
}

}  // namespace orvix::platform
