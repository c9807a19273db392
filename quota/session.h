// The window-free rules of the quota portal conversation: which cookie the
// session keeps, how a refused request is recognised, and what the portal
// said when it refused.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

// The session cookie out of a Set-Cookie value: from "JSESSIONID" up to, not
// including, the first ";" after it (or to the end); a CR or LF ends it as
// well. Empty when the value has no "JSESSIONID".
std::string SessionCookieFrom(std::string_view setCookie);

// The fixed consent cookie the portal wants beside its session.
inline constexpr char kConsentCookie[] = "usageConfirm=true";

// The cookie header value of a later request: the fixed consent cookie and
// the session cookie; empty (no header at all) while there is no session.
std::string CookieHeaderFor(std::string_view sessionCookie);

// True when the text of a portal answer (decoded by DecodePortalText,
// net/charset.h) holds the portal's error marker "İşlem hatası".
bool IsRefusalPage(std::u16string_view page);

// The portal's error text on a refusal page: the plain text of the fourth
// "td" of the page. Resource 104 when the page does not have one or anything
// in reading it fails.
std::u16string ServerErrorText(const std::u16string& page);

}  // namespace orvix
