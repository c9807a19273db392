// The platform seam behaves like a Turkish Windows system in every build:
// code page 1254, non-linguistic upper-casing, locale order.
#include <gtest/gtest.h>

#include "text/platform.h"

namespace p = orvix::platform;

TEST(Platform, CodePage1254RoundTripsTurkishLetters) {
  p::SetAnsiCodePageOverride(1254);
  const std::string bytes = "\xD0\xDD\xDE\xF0\xFD\xFE";  // Ğ İ Ş ğ ı ş
  const std::u16string wide = p::AnsiToWide(bytes);
  EXPECT_EQ(wide, u"\u011E\u0130\u015E\u011F\u0131\u015F");
  EXPECT_EQ(p::WideToAnsi(wide), bytes);
  EXPECT_EQ(p::WideToAnsi(u"\u4E2D"), "?");
  p::SetAnsiCodePageOverride(0);
}

TEST(Platform, UpperCaseIsNotTurkishLinguistic) {
  EXPECT_EQ(p::UpperCase(u"displayname"), u"DISPLAYNAME");
  EXPECT_EQ(p::UpperCase(u"\u0131i"), u"\u0131I");  // i gives plain I, ı stays
  EXPECT_EQ(p::UpperCase(u"\u011F\u015F\u00E7"), u"\u011E\u015E\u00C7");
  EXPECT_EQ(p::UpperCase(u"\u0130"), u"\u0130");     // İ stays
}

TEST(Platform, CompareTextOrdersDigitKeysAndIgnoresCase) {
  EXPECT_LT(p::CompareText(u"2012|12|", u"2013|03|", false), 0);
  EXPECT_EQ(p::CompareText(u"price", u"PRICE", false), 0);
  EXPECT_NE(p::CompareText(u"price", u"PRICE", true), 0);
  EXPECT_LT(p::CompareAnsiText("a", "B", false), 0);
}

TEST(Platform, Utf8RoundTrip) {
  const std::u16string w = u"Kota \u0130\u015Flem \U0001F600";
  EXPECT_EQ(p::Utf8ToUtf16(p::Utf16ToUtf8(w)), w);
}
