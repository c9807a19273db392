#include "quota/portal_win.h"

#include <utility>

#include "text/text_utils.h"

namespace orvix::portal {

void FillRequest(TRequest& request, Step step, const PortalCookies& cookies, std::string body) {
  PortalRequest wanted = RequestFor(step, cookies, std::move(body));
  using namespace request_field;
  request.Secure = true;
  request.SetField(kHost, std::move(wanted.host));
  request.SetField(kPath, std::move(wanted.path));
  request.SetField(kMethod, std::move(wanted.method));
  request.SetField(kConnection, std::move(wanted.connection));
  request.SetField(kCookie, std::move(wanted.cookie));
  request.SetField(kContentType, std::move(wanted.contentType));
  request.Body = std::move(wanted.body);
  request.BypassCache = wanted.fresh;
  request.CookieStore = wanted.cookieStore;
  // What a move may leave behind of the login form.
  WipeText(wanted.body);
}

}  // namespace orvix::portal
