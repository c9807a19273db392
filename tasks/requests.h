// The requests and replies of the small jobs, as plain data: what goes on the
// wire and what goes back to the parent window. No Windows calls here; the
// *_win.cpp files send these requests with TRequest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/service_hosts.h"

namespace orvix::tasks {

// The hosts and identifiers of the small jobs, as tasks::kVersionFilePath etc.
using hosts::kIpEchoAutomationHost;
using hosts::kIpEchoAutomationPath;
using hosts::kIpEchoSecondHost;
using hosts::kIpEchoSecondPath;
using hosts::kProductSiteIpPath;
using hosts::kMakerSiteHost;
using hosts::kVersionFilePath;
using hosts::kWidgetHost;
using hosts::kWidgetId;
using hosts::kProductRef;
using hosts::kPageCounterHost;
using hosts::kPageCounterAccount;
using hosts::kTrackerSiteId;

// One plain-HTTP GET (port 80, "HTTP/1.1", Connection "Keep-Alive").
// An empty referer sends no Referer header. A page name put into a referer
// ends at its first CR or LF.
struct PlainGet {
  std::string host;
  std::string path;
  std::string referer;
};

// The three address sources, in the order they are asked.
enum class AddressSource { kAutomationEcho, kSecondEcho, kProductSite };

PlainGet AddressRequest(AddressSource source, std::string_view pageName);

// The answer of an IP-echo service (sources A and B) as the XML document the
// reader expects: the body with leading and trailing characters at or below
// the blank removed, wrapped into <data><ip>...</ip></data> when it is a
// dotted quad (digits and exactly three dots); empty text otherwise.
std::string WrapEchoAnswer(std::string_view body);

// The version file request, with the page name in the referrer.
PlainGet VersionRequest(std::string_view pageName);

// The reply text of the version check: version "|" notes "|". Missing nodes
// count as empty text.
std::string VersionReply(std::string_view version, std::string_view notes);

// Usage counter hits: -tracker, -sayyac and -newuser, one request each.
enum class HitKind { kTracker, kPageCounter, kNewUser };

PlainGet TrackerHit(std::string_view pageName);
PlainGet PageCounterHit(std::uint32_t randomValue);  // randomValue < 2147483647
PlainGet NewUserHit(std::string_view pageName, std::int64_t unixTimeMs, int screenWidth,
                    int screenHeight);

}  // namespace orvix::tasks
