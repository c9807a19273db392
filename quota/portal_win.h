// The portal's steps as the worker runs them: a step's request (the table
// in quota/portal.h) written into a TRequest's slots. The dialog deals in
// steps only and never names a slot.
#pragma once

#include <string>
#include <string_view>

#include "net/request_win.h"
#include "quota/portal.h"

namespace orvix::portal {

// Fills a fresh request for the step: host, path, method, the Connection,
// Cookie and Content-Type headers, the body (the login form only; moved
// into the request, which wipes it when freed), HTTPS, no cache. WinInet's
// cookie store stays on beside the explicit header: a cookie the portal sets
// next to the session (a load balancer's, say) goes back with every later
// request.
void FillRequest(TRequest& request, Step step, std::string_view sessionCookie, std::string body = {});

}  // namespace orvix::portal
