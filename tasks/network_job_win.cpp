#include "tasks/network_job_win.h"

#include <objbase.h>

#include "net/request_win.h"

namespace orvix::tasks {

NetworkJobFrame::NetworkJobFrame() {
  // Single-threaded apartment for the XML component; S_FALSE (already
  // initialised by the process) still needs its matching uninitialise.
  online_ = OpenInternet();
}

NetworkJobFrame::~NetworkJobFrame() {
  if (online_) CloseInternet();
}

bool FetchPlain(const PlainGet& get, std::string& body) {
  TRequest request;
  request.SetField(request_field::kHost, get.host);
  request.SetField(request_field::kPath, get.path);
  request.SetField(request_field::kConnection, "Keep-Alive");
  if (!get.referer.empty()) request.SetField(request_field::kReferer, get.referer);
  if (request.Execute(InternetHandle.get()) != 0) return false;
  body = request.Response().GetText();
  return true;
}

}  // namespace orvix::tasks
