#include "net/copydata_win.h"
#include "tasks/jobs_win.h"
#include "tasks/network_job_win.h"
#include "tasks/xml_dom_win.h"
#include "text/platform.h"

namespace orvix::tasks {

void CheckVersion(HWND parent, HWND instanceWindow, const std::string& pageName) {
  RunNetworkJob([&] {
    std::string text;
    try {
      if (!FetchPlain(VersionRequest(pageName), text)) text.clear();
    } catch (...) {
      text.clear();
    }
    std::string reply;
    if (!text.empty()) {
      try {
        XmlDom dom;
        if (dom.LoadXml(platform::AnsiToWide(text))) {
          const std::u16string version = dom.SelectText(u"/data/version").value_or(u"");
          const std::u16string notes = dom.SelectText(u"/data/whatsnew").value_or(u"");
          reply = VersionReply(platform::WideToAnsi(version), platform::WideToAnsi(notes));
        }
      } catch (...) {
        reply.clear();
      }
    }
    if (!reply.empty()) SendCopyData(parent, instanceWindow, copydata::kVersionReply, reply.data(), reply.size());
  });
}

}  // namespace orvix::tasks
