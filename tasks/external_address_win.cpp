#include "net/copydata_win.h"
#include "tasks/jobs_win.h"
#include "tasks/network_job_win.h"
#include "tasks/xml_dom_win.h"

namespace orvix::tasks {

std::string FetchAddressText(AddressSource source, const std::string& pageName) {
  std::string body;
  if (!FetchPlain(AddressRequest(source, pageName), body)) return {};
  // The echo services answer with the bare address; the product site sends
  // the XML document itself.
  if (source == AddressSource::kProductSite) return body;
  return WrapEchoAnswer(body);
}

void LookupExternalAddress(HWND parent, HWND instanceWindow, const std::string& pageName) {
  RunNetworkJob([&] {
    std::string address;
    try {
      for (AddressSource source :
           {AddressSource::kAutomationEcho, AddressSource::kSecondEcho, AddressSource::kProductSite}) {
        const std::string xml = FetchAddressText(source, pageName);
        address = xml.empty() ? std::string() : ReadXmlText(xml, u"/data/ip");
        if (!address.empty()) break;
      }
    } catch (...) {
      // Network or component failure: the parent still gets an empty answer.
      address.clear();
    }
    if (IsWindow(parent)) SendCopyData(parent, instanceWindow, copydata::kAddressReply, address.data(), address.size());
  });
}

}  // namespace orvix::tasks
