// The quota portal conversation as plain data: the six requests, what each
// sends, which message reports its end and which status text it shows.
// quota/portal_win.h turns a step into the TRequest the worker runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quota/session.h"

namespace orvix::portal {

enum class Step { kLoginPage, kImage, kSound, kLoginForm, kAgreement, kTransfer };

// Completion messages the worker posts to the dialog (lParam 0: the exchange
// completed).
inline constexpr unsigned kLoginPageDone = 1280;
inline constexpr unsigned kImageDone = 1281;
inline constexpr unsigned kLoginFormDone = 1282;
inline constexpr unsigned kAgreementDone = 1283;
inline constexpr unsigned kTransferDone = 1284;
inline constexpr unsigned kSoundDone = 1288;

struct StepInfo {
  const char* path;
  const char* method;
  unsigned message;   // completion message
  int statusText;     // resource id shown while it runs
};

StepInfo InfoOf(Step step);

// What one request sends. Single-byte text in the system code page; an
// empty field sends no header.
struct PortalRequest {
  std::string host;
  std::string path;
  std::string method;
  std::string cookie;       // the Cookie header value
  std::string contentType;  // the Content-Type header value
  std::string connection;   // the Connection header value
  std::string body;
  bool fresh = false;       // always from the portal, never kept in a cache
  // WinInet's own cookie store: off, the program sends and keeps the
  // portal's cookies itself (PortalCookies).
  bool cookieStore = true;
};

// The request of a step, with the cookies kept so far; the login page never
// sends a cookie. body is used by the login form only.
PortalRequest RequestFor(Step step, const PortalCookies& cookies, std::string body = {});

// The portal's address of a path, as a URL ("https://host/path").
std::string PortalUrl(std::string_view path);

// The login form: every value form-encoded.
std::string LoginFormBody(std::string_view userName, std::string_view password, std::string_view securityCode);

}  // namespace orvix::portal
