// The frame every small network job shares: COM for the job's duration, the
// process-wide internet handle, a guard that swallows every error, and the
// handle closed again at the end.
#pragma once

#include <string>

#include "tasks/requests.h"
#include "text/win_handles.h"

namespace orvix::tasks {

// Runs body inside the frame. Returns without calling body when the internet
// handle cannot be opened. Nothing escapes: any error ends the body silently.
template <typename Body>
void RunNetworkJob(Body&& body);

// Sends one plain GET with TRequest on the calling thread. Returns true and
// the body when the exchange completed (whatever the HTTP status).
bool FetchPlain(const PlainGet& get, std::string& body);

// Implementation detail of RunNetworkJob.
class NetworkJobFrame {
 public:
  NetworkJobFrame();
  ~NetworkJobFrame();
  NetworkJobFrame(const NetworkJobFrame&) = delete;
  NetworkJobFrame& operator=(const NetworkJobFrame&) = delete;
  bool online() const { return online_; }

 private:
  const win::ComScope com_;  // first in, last out
  bool online_ = false;
};

template <typename Body>
void RunNetworkJob(Body&& body) {
  try {
    NetworkJobFrame frame;
    if (!frame.online()) return;
    try {
      body();
    } catch (...) {
      // A failed job reports only through its own channel.
    }
  } catch (...) {
  }
}

}  // namespace orvix::tasks
