// net_probe.exe: runs one TRequest configured from its command line and
// prints the outcome as one JSON line, for the wire tests (wire_test.py).
//
//   net_probe.exe [--slot N VALUE]... [--body TEXT | --body-file PATH]
//                 [--secure] [--no-redirect] [--closed | --stale]
//   net_probe.exe --unixtime
//
// --closed executes with the cleared handle after CloseInternet; --stale
// with the value of a handle that has been closed.
// Output: {"result":N,"setcookie":"<b64>","raw_headers":"<b64>","body":"<b64>",
//          "body_len":N,"bad_get":N,"bad_set":N}
//         {"unix_ms":N,"bias":N}   with --unixtime
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "net/encoding.h"
#include "net/request_win.h"
#include "net/encoding.h"

namespace {

std::string B64(const std::string& bytes) {
  std::string out;
  for (const char c : orvix::Base64Encode(bytes)) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

int PrintTime() {
  TIME_ZONE_INFORMATION zone;
  const DWORD id = ::GetTimeZoneInformation(&zone);
  long bias = zone.Bias + (id == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  std::printf("{\"unix_ms\":%lld,\"bias\":%ld}\n", static_cast<long long>(orvix::UnixTimeMs()), bias);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  orvix::TRequest request;
  bool closed = false;
  bool stale = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--unixtime") return PrintTime();
    if (a == "--slot" && i + 2 < argc) {
      request.SetField(std::atoi(argv[i + 1]), argv[i + 2]);
      i += 2;
    } else if (a == "--body" && i + 1 < argc) {
      request.Body = argv[++i];
    } else if (a == "--body-file" && i + 1 < argc) {
      std::ifstream f(argv[++i], std::ios::binary);
      request.Body.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    } else if (a == "--secure") {
      request.Secure = true;
    } else if (a == "--no-redirect") {
      request.FollowRedirects = false;
    } else if (a == "--closed") {
      closed = true;
    } else if (a == "--stale") {
      stale = true;
    } else {
      std::fprintf(stderr, "net_probe: bad argument %s\n", a.c_str());
      return 2;
    }
  }
  // Out-of-range slots must neither change nor report anything.
  request.SetField(12, "x");
  request.SetField(-1, "x");
  const int badGet = static_cast<int>(request.GetField(12).size() + request.GetField(-1).size());

  if (!orvix::OpenInternet()) {
    std::fprintf(stderr, "net_probe: no internet handle\n");
    return 3;
  }
  HINTERNET handle = orvix::InternetHandle.get();
  if (closed || stale) {
    orvix::CloseInternet();
    if (closed) handle = orvix::InternetHandle.get();
  }
  const int result = request.Execute(handle);
  orvix::CloseInternet();

  const orvix::TResponse& response = request.Response();
  int badSet = 0;
  for (int i = 0; i < orvix::kFieldCount; ++i) {
    if (i != orvix::response_field::kSetCookie && i != orvix::response_field::kContentType &&
        !response.GetField(i).empty())
      ++badSet;
  }
  std::string setCookies;
  for (const std::string& value : response.SetCookies) {
    setCookies += setCookies.empty() ? "\"" : ",\"";
    setCookies += B64(value) + "\"";
  }
  std::printf(
      "{\"result\":%d,\"setcookies\":[%s],\"setcookie\":\"%s\",\"contenttype\":\"%s\",\"raw_headers\":\"%s\",\"body\":\"%s\","
      "\"body_len\":%zu,\"bad_get\":%d,\"bad_set\":%d}\n",
      result, setCookies.c_str(), B64(response.GetField(orvix::response_field::kSetCookie)).c_str(),
      B64(response.GetField(orvix::response_field::kContentType)).c_str(),
      B64(response.RawHeaders).c_str(), B64(response.GetText()).c_str(), response.Content.size(), badGet,
      badSet);
  return 0;
}
