// Base64 of the stored credentials: standard vectors, line breaks, and the
// tolerant decoding of hand-edited or truncated values.
#include "text/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace orvix {
namespace {

using namespace std::string_literals;

TEST(Base64Encode, StandardVectors) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64Encode("\xFF\xFE\x00"s), "//4A");
}

TEST(Base64Encode, BreaksLinesAfterEvery76Characters) {
  const std::string full = Base64Encode(std::string(57, 'x'));
  ASSERT_EQ(full.size(), 78u);
  EXPECT_EQ(full.substr(76), "\r\n");

  const std::string more = Base64Encode(std::string(58, 'x'));
  ASSERT_EQ(more.size(), 82u);
  EXPECT_EQ(more.substr(76, 2), "\r\n");
  EXPECT_EQ(more.substr(78), "eA==");

  // Across the internal 510-byte blocks the lines stay 76 characters long.
  const std::string big = Base64Encode(std::string(2000, '\x5A'));
  std::size_t start = 0;
  while (start < big.size()) {
    const std::size_t eol = big.find("\r\n", start);
    if (eol == std::string::npos) {
      EXPECT_LT(big.size() - start, 76u);
      break;
    }
    EXPECT_EQ(eol - start, 76u) << "line at " << start;
    start = eol + 2;
  }
}

TEST(Base64Decode, RoundTripsRandomDataThroughLineBreaks) {
  std::mt19937 rng(1254);
  for (std::size_t len : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 509u, 510u, 511u, 4096u}) {
    std::string data(len, '\0');
    for (auto& c : data) c = static_cast<char>(rng() & 0xFF);
    EXPECT_EQ(Base64Decode(Base64Encode(data)), data) << "length " << len;
  }
}

TEST(Base64Decode, SkipsCharactersOutsideTheAlphabet) {
  EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(Base64Decode(" Z m 9 v !\t"), "foo");
  EXPECT_EQ(Base64Decode("Zm\xC7\xFD" "9v"), "foo");
}

TEST(Base64Decode, PaddingDecidesTheByteCount) {
  EXPECT_EQ(Base64Decode("Zg=="), "f");
  EXPECT_EQ(Base64Decode("Zm8="), "fo");
  // The third "=" alone decides: one byte.
  EXPECT_EQ(Base64Decode("Zg=A"), "f");
  // Decoding goes on after a padded group.
  EXPECT_EQ(Base64Decode("Zg==Zm9v"), "ffoo");
  // "=" where data must be gives nothing for that group.
  EXPECT_EQ(Base64Decode("=m9vZm9v"), "foo");
  EXPECT_EQ(Base64Decode("Z=9v"), "");
}

// Truncated values in account.ini must not make the decoder read or write
// past its buffers; whole groups are decoded and the tail is dropped.
TEST(Base64Decode, IncompleteTailIsIgnored) {
  EXPECT_EQ(Base64Decode("Z"), "");
  EXPECT_EQ(Base64Decode("Zm"), "");
  EXPECT_EQ(Base64Decode("Zm9"), "");
  EXPECT_EQ(Base64Decode("Zm9vY"), "foo");
  EXPECT_EQ(Base64Decode("Zm9vYm"), "foo");
  EXPECT_EQ(Base64Decode("Zm9vYmF\r\n"), "foo");
  EXPECT_EQ(Base64Decode("=="), "");
  EXPECT_EQ(Base64Decode("\r\n\r\n"), "");
  // Every prefix of a long encoding: no crash, and whole groups survive.
  const std::string data(300, 'q');
  const std::string enc = Base64Encode(data);
  for (std::size_t n = 0; n <= enc.size(); ++n) {
    const std::string dec = Base64Decode(enc.substr(0, n));
    EXPECT_EQ(dec, data.substr(0, dec.size()));
  }
}

}  // namespace
}  // namespace orvix
