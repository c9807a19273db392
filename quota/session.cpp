#include "quota/session.h"

#include <exception>

#include "html/dom.h"
#include "html/html_parser.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"
#include "text/platform.h"

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
  return "usageConfirm=true; " + std::string(sessionCookie);
}

bool IsRefusalPage(std::string_view body) {
  // The marker is searched as bytes of the system code page, the way the
  // portal sends its pages; converting the whole body first would cost a
  // copy of every page for nothing.
  const std::string marker = platform::WideToAnsi(u"İşlem hatası");
  return body.find(marker) != std::string_view::npos;
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
