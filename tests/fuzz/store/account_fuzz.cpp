// Fuzzes the stored credentials: base64 decoding of any text, and
// DecodeCredentials of any hash value, read as the 8-bit text a hand-edited
// file may hold and as UTF-16. Base64 and the credentials encoding
// round-trip: what EncodeCredentials stores decodes to the same user name
// and password.
#include <string>

#include "store/account.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/base64.h"
#include "text/text_utils.h"

namespace {

using namespace orvix;
using fuzz::Check;

bool Base64Char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
         c == '=';
}

void CheckCredentials(std::u16string_view hash) {
  const TCredentials c = DecodeCredentials(hash);
  // The user name ends at the first CR LF; without one both stay empty.
  Check(c.userName.find("\r\n") == std::string::npos, "the user name holds no CR LF");
  if (c.userName.empty() && c.password.empty()) return;
  // What was read is stored again the same way.
  const TCredentials again = DecodeCredentials(EncodeCredentials(c.userName + "\r\n" + c.password));
  Check(again.userName == c.userName && again.password == c.password, "credentials round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);

  const std::string decoded = Base64Decode(text);
  std::size_t useful = 0;
  for (char c : text) useful += Base64Char(c) ? 1 : 0;
  Check(decoded.size() <= useful / 4 * 3, "three bytes at most per group of four");
  Check(Base64Decode(Base64Encode(decoded)) == decoded, "base64 round trip of decoded bytes");
  Check(Base64Decode(Base64Encode(text)) == text, "base64 round trip of any bytes");
  const std::string encoded = Base64Encode(text);
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const std::size_t column = i % 78;  // 76 characters, then CR LF
    Check(column < 76 ? Base64Char(encoded[i]) : encoded[i] == (column == 76 ? '\r' : '\n'),
          "base64 lines of 76 characters");
  }

  // The hash as the 8-bit text a hand-edited file may hold, and as UTF-16.
  std::u16string wide;
  for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  CheckCredentials(wide);
  CheckCredentials(DecodeUtf16Le(text));

  // Any plain form stores and reads back.
  const std::u16string stored = EncodeCredentials(text);
  for (char16_t c : stored) Check(c < 0x80 && Base64Char(static_cast<char>(c)), "the stored form is one base64 line");
  const TCredentials back = DecodeCredentials(stored);
  const std::size_t split = text.find("\r\n");
  if (split == std::string_view::npos) {
    Check(back.userName.empty() && back.password.empty(), "no CR LF gives no credentials");
  } else {
    Check(back.userName == text.substr(0, split) && back.password == text.substr(split + 2),
          "credentials split at the first CR LF");
  }
  return 0;
}
