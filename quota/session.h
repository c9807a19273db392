// The window-free rules of the quota portal conversation: which cookies the
// session keeps and sends, how a refused request is recognised, and what the portal
// said when it refused.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvix {

// The session cookie out of a Set-Cookie value: the pair named
// "JSESSIONID" (the first pair, or a later one: "lang=tr; JSESSIONID=ABC;
// Path=/"), as "JSESSIONID=" and its value, up to, not including, the next
// ";". A CR or LF ends the whole value. Empty when no pair has that name.
std::string SessionCookieFrom(std::string_view setCookie);

// The fixed consent cookie the portal wants beside its session.
inline constexpr char kConsentCookie[] = "usageConfirm=true";

// The portal's cookies, kept by the program itself for the portal's one
// host (WinInet's own cookie store stays out of portal requests: under Wine
// its cookies replace the program's header, on Windows they go beside it).
//
// Of each Set-Cookie value the first pair is a cookie; the later pairs are
// its attributes (Path, Secure, ...), except a pair named JSESSIONID, which
// is taken as the session however the value begins. A cookie set again
// keeps its place with the new value, so a name never has two values.
class PortalCookies {
 public:
  // Takes the cookies of one Set-Cookie value.
  void Take(std::string_view setCookie);
  // Forgets them all (a new login page starts with none).
  void Clear() { cookies_.clear(); }

  // The Cookie header value of a request: while there is a session, the
  // consent cookie, the session, then the others in the order they were
  // first set; without one, only the others. Empty (no header) when there
  // is nothing to send.
  std::string Header() const;

 private:
  void Set(std::string_view name, std::string_view value);

  std::vector<std::pair<std::string, std::string>> cookies_;  // name, value; in the order set
};

// True when the text of a portal answer (decoded by DecodePortalText,
// net/charset.h) holds the portal's error marker "İşlem hatası".
bool IsRefusalPage(std::u16string_view page);

// The portal's error text on a refusal page: the plain text of the fourth
// "td" of the page. Resource 104 when the page does not have one or anything
// in reading it fails.
std::u16string ServerErrorText(const std::u16string& page);

}  // namespace orvix
