// The portal's steps as the worker runs them: a step's request (the table
// in quota/portal.h) written into a TRequest's slots. The dialog deals in
// steps only and never names a slot.
#pragma once

#include <string>

#include "net/request_win.h"
#include "quota/portal.h"

namespace orvix::portal {

// Fills a fresh request for the step: host, path, method, the Connection,
// Cookie and Content-Type headers, the body (the login form only; moved
// into the request, which wipes it when freed), HTTPS, no cache, and
// WinInet's cookie store off: the program keeps the portal's cookies itself
// and sends them in its one Cookie header.
void FillRequest(TRequest& request, Step step, const PortalCookies& cookies, std::string body = {});

}  // namespace orvix::portal
