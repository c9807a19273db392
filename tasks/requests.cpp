#include "tasks/requests.h"


#include "net/encoding.h"
#include "net/service_hosts.h"
#include "text/text_utils.h"

namespace orvix::tasks {

namespace {

// The page name comes from the command line, where a quoted argument may
// hold line breaks; in a header value a break would start a header of its
// own, so the name ends at the first one.
std::string_view OneLine(std::string_view pageName) { return pageName.substr(0, pageName.find_first_of("\r\n")); }

// "/" followed by the page name, the referrer form the services expect.
std::string RootedPage(std::string_view pageName) {
  std::string out;
  out.reserve(pageName.size() + 1);
  out.push_back('/');
  out.append(pageName);
  return out;
}

}  // namespace


PlainGet AddressRequest(AddressSource source, std::string_view pageName) {
  switch (source) {
    case AddressSource::kAutomationEcho:
      return {kIpEchoAutomationHost, kIpEchoAutomationPath, {}};
    case AddressSource::kSecondEcho:
      return {kIpEchoSecondHost, kIpEchoSecondPath, {}};
    case AddressSource::kProductSite:
      break;
  }
  return {kMakerSiteHost, kProductSiteIpPath, RootedPage(OneLine(pageName))};
}

std::string WrapEchoAnswer(std::string_view body) {
  const std::string_view text = TrimBlanks(body);
  if (!IsDottedQuad(std::string(text))) return {};
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><data><ip>" + std::string(text) + "</ip></data>";
}

PlainGet VersionRequest(std::string_view pageName) {
  return {kMakerSiteHost, kVersionFilePath, RootedPage(OneLine(pageName))};
}

std::string VersionReply(std::string_view version, std::string_view notes) {
  std::string reply;
  reply.reserve(version.size() + notes.size() + 2);
  reply.append(version).append("|").append(notes).append("|");
  return reply;
}

PlainGet TrackerHit(std::string_view pageName) {
  return {kWidgetHost, std::string("/swidget/") + kWidgetId + ".gif",
          std::string("http://") + kMakerSiteHost + "/" + kProductRef + "-" + std::string(OneLine(pageName))};
}

PlainGet PageCounterHit(std::uint32_t randomValue) {
  std::string path = std::string("/sa.gif?_salogin=") + kPageCounterAccount +
                     "&_sav=4.2&_saje=1&_sace=true&_sacol=32&_sares=1280x800&_saref=&_saa_u=1"
                     "&_say_u=1&_sam_u=1&_saw_u=1&_sad_u=1&_sawd_u=1&_sadh_u=1&_sanv=1&_sarnd=";
  path += std::to_string(randomValue);
  return {kPageCounterHost, std::move(path), {}};
}

PlainGet NewUserHit(std::string_view pageName, std::int64_t unixTimeMs, int screenWidth,
                    int screenHeight) {
  std::string path = "/tracker/count.php?";
  path += std::string("sid=") + kTrackerSiteId;
  path += "&p=" + UrlEncode(Base64Encode(RootedPage(pageName)));
  path += "&r=";
  path += "&t=" + std::to_string(unixTimeMs);
  path += "&res=" + std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
  return {kMakerSiteHost, std::move(path), {}};
}

}  // namespace orvix::tasks
