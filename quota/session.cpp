#include "quota/session.h"

#include <algorithm>
#include <exception>

#include "html/dom.h"
#include "html/html_parser.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"

namespace orvix {

namespace {

constexpr std::string_view kSessionName = "JSESSIONID";
constexpr std::string_view kConsentName = "usageConfirm";

std::string_view TrimPairBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The name=value pairs of a Set-Cookie value, each with its blanks trimmed;
// `visit` gets the pair's index, name and value. A pair without "=" or
// without a name is passed over (but counted). A line break ends the whole
// value: the cookies go back to the portal in a header line of their own,
// and a break in it would start another header.
template <typename Visit>
void ForEachPair(std::string_view setCookie, Visit visit) {
  setCookie = setCookie.substr(0, setCookie.find_first_of("\r\n"));
  std::size_t index = 0;
  while (true) {
    const std::size_t end = setCookie.find(';');
    const std::string_view pair = setCookie.substr(0, end);
    const std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos) {
      const std::string_view name = TrimPairBlanks(pair.substr(0, eq));
      if (!name.empty()) visit(index, name, TrimPairBlanks(pair.substr(eq + 1)));
    }
    if (end == std::string_view::npos) return;
    setCookie.remove_prefix(end + 1);
    ++index;
  }
}

}  // namespace

std::string SessionCookieFrom(std::string_view setCookie) {
  std::string session;
  ForEachPair(setCookie, [&](std::size_t, std::string_view name, std::string_view value) {
    if (session.empty() && name == kSessionName) session = std::string(name) + "=" + std::string(value);
  });
  return session;
}

void PortalCookies::Take(std::string_view setCookie) {
  bool gotSession = false;
  ForEachPair(setCookie, [&](std::size_t index, std::string_view name, std::string_view value) {
    if (name == kSessionName) {
      if (!gotSession) Set(name, value);
      gotSession = true;
    } else if (index == 0) {
      Set(name, value);
    }
  });
}

void PortalCookies::Set(std::string_view name, std::string_view value) {
  for (auto& cookie : cookies_) {
    if (cookie.first == name) {
      cookie.second = std::string(value);
      return;
    }
  }
  cookies_.emplace_back(std::string(name), std::string(value));
}

std::string PortalCookies::Header() const {
  std::string header;
  const auto add = [&header](std::string_view name, std::string_view value) {
    if (!header.empty()) header += "; ";
    header.append(name).append("=").append(value);
  };
  const auto session = std::find_if(cookies_.begin(), cookies_.end(),
                                    [](const auto& cookie) { return cookie.first == kSessionName; });
  const bool withSession = session != cookies_.end();
  if (withSession) {
    header = kConsentCookie;
    add(session->first, session->second);
  }
  for (const auto& [name, value] : cookies_) {
    // The consent cookie is the program's own: one the portal sets does not
    // go beside it.
    if (name == kSessionName || (withSession && name == kConsentName)) continue;
    add(name, value);
  }
  return header;
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
