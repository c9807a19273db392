// What the small jobs put on the wire and hand back to the parent.
#include <gtest/gtest.h>

#include "tasks/requests.h"
#include "net/service_hosts.h"

namespace t = orvix::tasks;

TEST(EchoAnswer, KeepsOnlyDottedQuadsAndTrimsControls) {
  EXPECT_EQ(t::WrapEchoAnswer("  81.214.7.9 \r\n"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><data><ip>81.214.7.9</ip></data>");
  // Octets are not checked and empty octets pass: only the shape counts.
  EXPECT_NE(t::WrapEchoAnswer("..."), "");
  EXPECT_NE(t::WrapEchoAnswer("300.1.1.1"), "");
  EXPECT_EQ(t::WrapEchoAnswer("10.0.0"), "");
  EXPECT_EQ(t::WrapEchoAnswer("10.0.0.1.2"), "");
  EXPECT_EQ(t::WrapEchoAnswer("<html>10.0.0.1</html>"), "");
  EXPECT_EQ(t::WrapEchoAnswer("10.0. 0.1"), "");
  EXPECT_EQ(t::WrapEchoAnswer(""), "");
}

TEST(AddressSources, OnlyTheProductSiteCarriesTheReferrer) {
  EXPECT_EQ(t::AddressRequest(t::AddressSource::kAutomationEcho, "x").path, "/n09230945.asp");
  EXPECT_EQ(t::AddressRequest(t::AddressSource::kAutomationEcho, "x").referer, "");
  EXPECT_EQ(t::AddressRequest(t::AddressSource::kSecondEcho, "x").path, "/");
  const t::PlainGet c = t::AddressRequest(t::AddressSource::kProductSite, "anasayfa");
  EXPECT_EQ(c.path, "/getip.php?ref=plumo3-orvix");
  EXPECT_EQ(c.referer, "/anasayfa");
  EXPECT_EQ(c.host, t::kMakerSiteHost);
}

TEST(VersionReply, JoinsWithTrailingBarAndKeepsBarsInNotes) {
  EXPECT_EQ(t::VersionReply("3.1", "a\r\nb"), "3.1|a\r\nb|");
  EXPECT_EQ(t::VersionReply("3.1", ""), "3.1||");
  EXPECT_EQ(t::VersionReply("", ""), "||");
  EXPECT_EQ(t::VersionReply("3.1", "x|y"), "3.1|x|y|");
  EXPECT_EQ(t::VersionRequest("p").referer, "/p");
  EXPECT_EQ(t::VersionRequest("p").path, "/plumo-orvix.xml");
}

TEST(Counters, TrackerPathAndAbsoluteReferrer) {
  const t::PlainGet g = t::TrackerHit("newuserid");
  EXPECT_EQ(g.path, std::string("/swidget/") + t::kWidgetId + ".gif");
  EXPECT_EQ(std::string(t::kWidgetId).size(), 8u);
  EXPECT_EQ(g.referer, std::string("http://") + t::kMakerSiteHost + "/plumo3-orvix-newuserid");
}

// A quoted command-line argument may hold line breaks; in a referrer they
// would start headers of their own.
TEST(Referrers, EndThePageNameAtItsFirstLineBreak) {
  for (const char* page : {"anasayfa\r\nX-Injected: 1", "anasayfa\nX: 1", "anasayfa\rX: 1"}) {
    EXPECT_EQ(t::AddressRequest(t::AddressSource::kProductSite, page).referer, "/anasayfa") << page;
    EXPECT_EQ(t::VersionRequest(page).referer, "/anasayfa") << page;
    EXPECT_EQ(t::TrackerHit(page).referer, std::string("http://") + t::kMakerSiteHost + "/plumo3-orvix-anasayfa");
  }
  EXPECT_EQ(t::VersionRequest("\r\nX: 1").referer, "/");
}

TEST(Counters, PageCounterQueryInFixedOrder) {
  const t::PlainGet g = t::PageCounterHit(2147483646u);
  EXPECT_EQ(g.path, std::string("/sa.gif?_salogin=") + t::kPageCounterAccount +
                        "&_sav=4.2&_saje=1&_sace=true&_sacol=32&_sares=1280x800&_saref=&_saa_u=1&_say_u=1"
                        "&_sam_u=1&_saw_u=1&_sad_u=1&_sawd_u=1&_sadh_u=1&_sanv=1&_sarnd=2147483646");
  EXPECT_EQ(g.referer, "");
}

TEST(Counters, NewUserQueryEncodesThePageName) {
  const t::PlainGet g = t::NewUserHit("newuserid", 1765000000123, 1024, 768);
  EXPECT_EQ(g.path, std::string("/tracker/count.php?sid=") + t::kTrackerSiteId +
                        "&p=L25ld3VzZXJpZA%3D%3D&r=&t=1765000000123&res=1024x768");
  EXPECT_EQ(std::string(t::kTrackerSiteId).size(), 6u);
  // A base64 text longer than one line carries the encoder's CR LF.
  const t::PlainGet longName = t::NewUserHit(std::string(70, 'a'), 0, 1, 1);
  EXPECT_NE(longName.path.find("%0D%0A"), std::string::npos);
  EXPECT_EQ(longName.path.find('\r'), std::string::npos);
}
