#include "quota/session.h"

#include <exception>

#include "html/dom.h"
#include "html/html_parser.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"

namespace orvix {

std::string SessionCookieFrom(std::string_view setCookie) {
  const std::size_t start = setCookie.find("JSESSIONID");
  if (start == std::string_view::npos) return {};
  // A line break ends the value too: the cookie goes back to the portal in
  // a header line of its own, and a break in it would start another header.
  const std::size_t end = setCookie.find_first_of(";\r\n", start);
  return std::string(setCookie.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

std::string CookieHeaderFor(std::string_view sessionCookie) {
  if (sessionCookie.empty()) return {};
  return std::string(kConsentCookie) + "; " + std::string(sessionCookie);
}

bool IsRefusalPage(std::u16string_view page) {
  // Searched in the decoded text, never in bytes of the system code page:
  // built in code page 1252 the marker would read "Islem hatasi" and match
  // nothing the portal sends.
  return page.find(u"İşlem hatası") != std::u16string_view::npos;
}

std::u16string ServerErrorText(const std::u16string& page) {
  try {
    THtmlParser parser;
    std::unique_ptr<TDocument> document = parser.Parse(page);
    if (document) {
      std::unique_ptr<TSearchNodeList> cells = document->getElementsByTagName(u"td");
      if (TNode* cell = cells ? cells->item(3) : nullptr) return cell->text();
    }
  } catch (const std::exception&) {
    // Falls through to the fixed text: the user learns the portal said no.
  }
  return ResourceText(IDS_EXCEPTION);
}

}  // namespace orvix
