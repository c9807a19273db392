#include "net/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace orvix {
namespace {

using namespace std::string_literals;

TEST(UrlEncode, KeepsUnreservedSetAndEscapesTheRest) {
  EXPECT_EQ(UrlEncode(""), "");
  EXPECT_EQ(UrlEncode(" "), "+");
  EXPECT_EQ(UrlEncode("a/b=c"), "a%2Fb%3Dc");
  EXPECT_EQ(UrlEncode("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
  // Characters a form value commonly holds that must not pass through.
  EXPECT_EQ(UrlEncode("&+%?\"#~,;:<>"), "%26%2B%25%3F%22%23%7E%2C%3B%3A%3C%3E");
  // Control characters and bytes above 127 (Turkish letters in cp1254):
  // always two upper-case digits.
  EXPECT_EQ(UrlEncode("\t\r\n"), "%09%0D%0A");
  EXPECT_EQ(UrlEncode("\xFD\xF0\x80\xFF"), "%FD%F0%80%FF");
}

TEST(UrlEncode, StopsAtFirstNul) {
  EXPECT_EQ(UrlEncode("ab\0cd"s), "ab");
  EXPECT_EQ(UrlEncode("\0x"s), "");
}

TEST(IsDottedQuad, CountsDotsAndDigitsOnly) {
  EXPECT_TRUE(IsDottedQuad("85.96.12.7"));
  EXPECT_TRUE(IsDottedQuad("999.1.2.3"));  // octet values are not checked
  EXPECT_TRUE(IsDottedQuad("..."));        // nor empty octets
  EXPECT_FALSE(IsDottedQuad(""));
  EXPECT_FALSE(IsDottedQuad("85.96.12.7 "));
  EXPECT_FALSE(IsDottedQuad("1.2.3.4.5"));
  EXPECT_FALSE(IsDottedQuad("1.2.3"));
  EXPECT_FALSE(IsDottedQuad("1.2.3.a"));
  EXPECT_FALSE(IsDottedQuad("<html>1.2.3.4"));
}

}  // namespace
}  // namespace orvix
