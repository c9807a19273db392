// Locale-independent number and date texts of the INI store.
//
// Settings files always use "." as the decimal point, whatever the user's
// locale, because the parent program writes them that way on every system.
// These conversions never consult or change process-wide locale state, so
// other threads formatting numbers at the same time are not disturbed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvix::numtext {

// The general decimal form with at most 15 significant digits: plain
// notation when the rounded value has at most 15 digits before the point
// and a magnitude of at least 0.00001 (or is 0), otherwise d.dddE+-x
// ("26.81", "4294967296", "1E20", "1.5E-7"). NaN and infinities give "NAN",
// "INF" and "-INF".
std::string FormatFloat(double value);

// A decimal number with "." as decimal point, optional sign and exponent,
// blanks allowed around it; the whole text must be used. Non-finite or
// out-of-range values are refused.
bool ParseFloat(std::string_view text, double& value);

// The integer rules of ReadInteger: a text longer than two characters that
// starts with "0x"/"0X" is hexadecimal; otherwise decimal with an optional
// sign, or hexadecimal after "$". Hexadecimal takes up to 32 bits, so
// "0xFFFFFFFF" is -1 (what WriteHexInteger writes for -1). Leading blanks
// are skipped; anything else unreadable is refused.
bool ParseInteger(std::string_view text, std::int32_t& value);

// Dates are days since 1899-12-30 with the time of day as the fraction.
// Text forms (fixed, not the locale's): "YYYY-MM-DD", "hh:mm:ss" and
// "YYYY-MM-DD hh:mm:ss". Parsing accepts exactly these forms (ParseDateTime
// also the date alone) with blanks around, and refuses invalid calendar
// values.
std::string FormatDate(double dateTime);
std::string FormatTime(double dateTime);
std::string FormatDateTime(double dateTime);
bool ParseDate(std::string_view text, double& dateTime);
bool ParseTime(std::string_view text, double& dateTime);
bool ParseDateTime(std::string_view text, double& dateTime);

// Only ASCII texts can be numbers: UTF-16 to ASCII, false when another
// character is present.
bool NarrowAscii(std::u16string_view text, std::string& out);
std::u16string WidenAscii(std::string_view text);

}  // namespace orvix::numtext
