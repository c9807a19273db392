#include "store/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace orvix::numtext {

namespace {

constexpr int kSignificantDigits = 15;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex32(std::string_view digits, bool negative, std::int32_t& value) {
  if (digits.empty()) return false;
  std::uint64_t v = 0;
  for (const char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFu) return false;
  }
  auto bits = static_cast<std::uint32_t>(v);
  if (negative) bits = 0u - bits;
  value = static_cast<std::int32_t>(bits);
  return true;
}

// Days from 0000-03-01 based civil calendar to a serial day number
// (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe);
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool Digits(std::string_view text, std::size_t pos, std::size_t count, unsigned& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!IsDigit(text[i])) return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

// Splits a serial date into whole days and seconds of the day, rounding to
// the second.
void SplitDateTime(double dateTime, std::int64_t& days, long& seconds) {
  if (!std::isfinite(dateTime) || std::fabs(dateTime) > 3e6) dateTime = 0;
  days = static_cast<std::int64_t>(std::trunc(dateTime));
  seconds = std::lround(std::fabs(dateTime - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += dateTime >= 0 ? 1 : -1;
  }
}

std::string TwoDigits(unsigned v) { return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)}; }

bool ParseDatePart(std::string_view text, double& days) {
  unsigned y = 0, m = 0, d = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, y) ||
      !Digits(text, 5, 2, m) || !Digits(text, 8, 2, d)) {
    return false;
  }
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  days = static_cast<double>(DaysFromCivil(y, m, d) - kEpochDays);
  return true;
}

bool ParseTimePart(std::string_view text, double& fraction) {
  unsigned h = 0, m = 0, s = 0;
  if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !Digits(text, 0, 2, h) ||
      !Digits(text, 3, 2, m) || !Digits(text, 6, 2, s)) {
    return false;
  }
  if (h > 23 || m > 59 || s > 59) return false;
  fraction = (h * 3600.0 + m * 60.0 + s) / 86400.0;
  return true;
}

double Combine(double days, double fraction) { return days >= 0 ? days + fraction : days - fraction; }

}  // namespace

std::string FormatFloat(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // printf's %.*e in the C locale, which is what to_chars with a precision
  // is defined to give; std::to_chars for floating point would link its
  // tables, 186 KB of orvix.exe, for this one call.
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, value);
  const std::string_view text(buffer, static_cast<std::size_t>(length));
  // text: [-]d.ddddddddddddddde(+|-)xx, the exponent two digits or more
  const bool negative = text[0] == '-';
  const std::size_t first = negative ? 1 : 0;
  const std::size_t ePos = text.find('e');
  std::string digits;
  digits += text[first];
  digits.append(text.substr(first + 2, ePos - first - 2));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int exponent = std::atoi(std::string(text.substr(ePos + 1)).c_str());

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < kSignificantDigits) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto intDigits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
      } else {
        out.append(digits, 0, intDigits);
        out += '.';
        out.append(digits, intDigits);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

bool ParseFloat(std::string_view text, double& value) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::size_t lead = !text.empty() && text.front() == '-' ? 1 : 0;
  // from_chars would also take "inf" and "nan"; settings never hold them.
  if (text.size() <= lead || !(IsDigit(text[lead]) || text[lead] == '.')) return false;
  double parsed = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ParseInteger(std::string_view text, std::int32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex32(text.substr(2), false, value);
  }
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == '$') return ParseHex32(text.substr(1), negative, value);
  if (text.empty()) return false;
  std::int64_t v = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

std::string FormatDate(double dateTime) {
  std::int64_t days = 0;
  long seconds = 0;
  SplitDateTime(dateTime, days, seconds);
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  CivilFromDays(days + kEpochDays, y, m, d);
  std::string year = std::to_string(y);
  if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
  return year + "-" + TwoDigits(m) + "-" + TwoDigits(d);
}

std::string FormatTime(double dateTime) {
  std::int64_t days = 0;
  long seconds = 0;
  SplitDateTime(dateTime, days, seconds);
  const auto s = static_cast<unsigned>(seconds);
  return TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
}

std::string FormatDateTime(double dateTime) { return FormatDate(dateTime) + " " + FormatTime(dateTime); }

bool ParseDate(std::string_view text, double& dateTime) { return ParseDatePart(TrimBlanks(text), dateTime); }

bool ParseTime(std::string_view text, double& dateTime) { return ParseTimePart(TrimBlanks(text), dateTime); }

bool ParseDateTime(std::string_view text, double& dateTime) {
  text = TrimBlanks(text);
  double days = 0;
  if (text.size() == 10) return ParseDatePart(text, dateTime);
  double fraction = 0;
  if (text.size() != 19 || text[10] != ' ' || !ParseDatePart(text.substr(0, 10), days) ||
      !ParseTimePart(text.substr(11), fraction)) {
    return false;
  }
  dateTime = Combine(days, fraction);
  return true;
}

bool NarrowAscii(std::u16string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c > 0x7F) return false;
    out += static_cast<char>(c);
  }
  return true;
}

std::u16string WidenAscii(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

}  // namespace orvix::numtext
