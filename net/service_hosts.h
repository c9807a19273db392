// Every outside host and identifier the program talks to, in one place: the
// ISP's quota portal and the services of the small jobs.
//
// The paths, query keys and their order are fixed by the services; only these
// values are ours to choose. The quota portal is reached over HTTPS on port
// 443, every other host over plain HTTP on port 80.
#pragma once

namespace orvix::hosts {

// The ISP's ADSL quota portal.
inline constexpr char kQuotaPortalHost[] = "adslkota.orvix.example";


// External address lookup: two IP-echo services answer with the bare dotted
// address, the product's web site with a small XML document.
inline constexpr char kIpEchoAutomationHost[] = "automation.ipecho.example";
inline constexpr char kIpEchoAutomationPath[] = "/n09230945.asp";
inline constexpr char kIpEchoSecondHost[] = "plain.ipecho.example";
inline constexpr char kIpEchoSecondPath[] = "/";
inline constexpr char kProductSiteIpPath[] = "/getip.php?ref=plumo3-orvix";

// The maker's web site: address lookup of last resort, version file, tracker.
inline constexpr char kMakerSiteHost[] = "www.dalvenor.example";
inline constexpr char kVersionFilePath[] = "/plumo-orvix.xml";

// Visitor-counter widget service and our eight-letter widget identifier.
inline constexpr char kWidgetHost[] = "widgets.visitcount.example";
inline constexpr char kWidgetId[] = "plmorvix";
// The product page name that the widget's referrer names.
inline constexpr char kProductRef[] = "plumo3-orvix";

// Page-view counter service and our account name there.
inline constexpr char kPageCounterHost[] = "sayac.pagecount.example";
inline constexpr char kPageCounterAccount[] = "plumoorvix";

// The maker's own tracker: six-digit site identifier.
inline constexpr char kTrackerSiteId[] = "418207";

}  // namespace orvix::hosts
