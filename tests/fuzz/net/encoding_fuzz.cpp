// Fuzzes the encoders of the network layer and the cookie rule of the
// portal conversation: the session cookie taken from any Set-Cookie value,
// the cookie header built from it, the form encoding of any value, the
// login form body and the requests of every portal step. Encoded values
// decode back to what was given (up to a NUL, where the encoding stops), and
// nothing that goes into a header line or the request line carries a line
// break.
#include <algorithm>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "quota/portal.h"
#include "quota/session.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace orvix;
using fuzz::Check;

bool NoLineBreak(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is never written
}

bool Copied(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!$'()*-.@_").find(c) != std::string_view::npos;
}

// The form decoding the portal applies; fails the run on anything that the
// encoder must not have written.
std::string FormDecode(std::string_view encoded) {
  std::string out;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      Check(i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 && HexValue(encoded[i + 2]) >= 0,
            "%XX with two upper-case hex digits");
      out += static_cast<char>(HexValue(encoded[i + 1]) << 4 | HexValue(encoded[i + 2]));
      i += 2;
    } else {
      Check(Copied(c), "only the unreserved set is copied");
      out += c;
    }
  }
  return out;
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::Bytes(data, size);

  // Form encoding.
  const std::string encoded = UrlEncode(input);
  Check(encoded.size() <= 3 * input.size(), "at most three times as long");
  Check(FormDecode(encoded) == UpToNul(input), "form encoding round trip");

  // The login form from three values cut out of the input.
  const std::size_t third = size / 3;
  const std::string_view user = input.substr(0, third);
  const std::string_view password = input.substr(third, third);
  const std::string_view code = input.substr(2 * third);
  const std::string body = portal::LoginFormBody(user, password, code);
  std::vector<std::pair<std::string, std::string>> fields;
  for (std::size_t start = 0; start <= body.size();) {
    std::size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string_view field = std::string_view(body).substr(start, end - start);
    const std::size_t eq = field.find('=');
    Check(eq != std::string_view::npos && field.find('=', eq + 1) == std::string_view::npos, "one = per field");
    fields.emplace_back(std::string(field.substr(0, eq)), FormDecode(field.substr(eq + 1)));
    start = end + 1;
  }
  Check(fields.size() == 5 && fields[0] == std::pair<std::string, std::string>("dispatch", "login") &&
            fields[1].first == "userName" && fields[1].second == UpToNul(user) && fields[2].first == "password" &&
            fields[2].second == UpToNul(password) && fields[3].first == "captchaResponse" &&
            fields[3].second == UpToNul(code) && fields[4] == std::pair<std::string, std::string>("lang", "tr"),
        "the login form holds exactly its five fields");

  // The cookie rules on the input as a Set-Cookie value (a header value as
  // the request reads it: up to a NUL).
  const std::string_view setCookie = UpToNul(input);
  const std::string session = SessionCookieFrom(setCookie);
  Check(session.empty() || (session.starts_with("JSESSIONID=") && setCookie.find("JSESSIONID") != std::string_view::npos),
        "the session is a JSESSIONID pair of the value");
  Check(session.find(';') == std::string::npos, "the cookie ends before a semicolon");
  PortalCookies cookies;
  cookies.Take(setCookie);
  cookies.Take(setCookie);  // set again: still one value a name
  const std::string header = cookies.Header();
  Check(session.empty() == !header.starts_with("usageConfirm=true; JSESSIONID="), "the consent cookie with a session");
  std::vector<std::string_view> names;
  for (std::size_t start = 0; start < header.size();) {
    const std::size_t end = std::min(header.find("; ", start), header.size());
    const std::string_view pair = std::string_view(header).substr(start, end - start);
    const std::string_view name = pair.substr(0, pair.find('='));
    Check(std::find(names.begin(), names.end(), name) == names.end(), "one value a name");
    names.push_back(name);
    start = end + 2;
  }
  for (portal::Step step : {portal::Step::kLoginPage, portal::Step::kImage, portal::Step::kSound,
                            portal::Step::kLoginForm, portal::Step::kAgreement, portal::Step::kTransfer}) {
    const portal::PortalRequest r = portal::RequestFor(step, cookies, body);
    for (const std::string* text : {&r.host, &r.path, &r.method, &r.cookie, &r.contentType, &r.connection})
      Check(NoLineBreak(*text), "no line break in a header or the request line");
  }

  // The dotted-address test.
  std::size_t dots = 0;
  bool digitsAndDots = !input.empty();
  for (char c : input) {
    dots += c == '.';
    digitsAndDots = digitsAndDots && (c == '.' || (c >= '0' && c <= '9'));
  }
  Check(IsDottedQuad(input) == (digitsAndDots && dots == 3), "dotted quad: digits and three dots");
  return 0;
}
