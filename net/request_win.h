// One HTTP exchange over WinInet: a TRequest is filled, executed once and
// freed; the answer lands in the TResponse it owns.
//
// Every network job of the program goes through this class, on the main
// thread or on one TInetThread. The process-wide InternetHandle is opened at
// the start of a job (OpenInternet) and closed at its end (CloseInternet);
// each Execute opens and closes its own connection and request handles.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/win_handles.h"

namespace orvix {

// Request slot indices. Slots hold single-byte text in the system code
// page; an empty slot means "not given". Slots 5, 10 and 11 are unused.
namespace request_field {
constexpr int kHost = 0;
constexpr int kPath = 1;         // object name with query, e.g. "/adslkota/login_tr.jsp"
constexpr int kMethod = 2;       // default "GET"
constexpr int kCookie = 3;       // "Cookie: %s"
constexpr int kContentType = 4;  // "Content-Type: %s"
constexpr int kAccept = 6;       // "Accept: %s"
constexpr int kConnection = 7;   // "Connection: %s"
constexpr int kVersion = 8;      // default "HTTP/1.1"
constexpr int kReferer = 9;      // "Referer: %s"
}  // namespace request_field

// Response slot indices: the first Set-Cookie value and the Content-Type
// value (which tells the charset of the body); the other slots stay empty.
namespace response_field {
constexpr int kSetCookie = 4;
constexpr int kContentType = 5;
}

constexpr int kFieldCount = 12;

// Connection and request handles: closed on every path out of Execute.
using win::UniqueInternet;

class TResponse {
 public:
  virtual ~TResponse() = default;

  // Slot text; empty for an index outside 0..11.
  std::string GetField(int index) const;
  // Stores the text; an index outside 0..11 is ignored.
  void SetField(int index, std::string text);

  // The whole body as read, from its first byte, without any conversion.
  std::string GetText() const { return Content; }

  // Every Set-Cookie value of the answer, in the order received (slot 4
  // holds only the first); a value too long for the header buffer is left
  // out.
  std::vector<std::string> SetCookies;
  // Body bytes in arrival order.
  std::string Content;
  // All response header lines as WinInet gives them (status line first,
  // CR LF separated); empty when they did not fit in 1024 bytes.
  std::string RawHeaders;

 private:
  std::array<std::string, kFieldCount> fields_;
};

class TRequest {
 public:
  TRequest();
  // Overwrites the body (it may hold the login form) before it is freed.
  virtual ~TRequest();
  TRequest(const TRequest&) = delete;
  TRequest& operator=(const TRequest&) = delete;

  // Slot text; empty for an index outside 0..11.
  std::string GetField(int index) const;
  // Stores the text; an index outside 0..11 is ignored.
  void SetField(int index, std::string text);

  // Sends the request under the given internet handle and reads the whole
  // answer into Response(). Returns 0 when the request was sent and its
  // answer read to the end, -1 on any failure (no handle, no connection,
  // failed send, failed read, a time-out, an answer that ends before the
  // length it announced). The HTTP status is not examined: an error page is
  // a success. A failed request may leave a partial response; a body beyond
  // 8 MiB, or one still arriving two minutes after the start, fails the
  // request with an empty body. Every wait is bounded (see request_win.cpp
  // for the figures).
  // Execute a request only once: the header text it builds is kept.
  std::int32_t Execute(HINTERNET internet);

  TResponse& Response() { return *response_; }
  const TResponse& Response() const { return *response_; }

  // Request body, sent as the optional data (the login form text).
  std::string Body;
  // WinInet context value for the connect, open-request and query calls.
  std::uint32_t Context = 0;
  // Header lines built by Execute.
  std::string ExtraHeaders;
  // HTTPS on port 443 when set, else plain HTTP on port 80.
  bool Secure = false;
  // When false, redirect answers are returned as they are.
  bool FollowRedirects = true;
  // When set, the answer always comes from the server and is not kept in
  // WinInet's cache (for answers that must never be reused, such as the
  // security code).
  bool BypassCache = false;
  // When false, WinInet's cookie store is left out: it neither adds the
  // cookies it keeps to the request nor keeps those of the answer (the
  // caller sends and keeps cookies itself).
  bool CookieStore = true;

 private:
  // Appends the header line for a non-empty value; format holds one "%s".
  void AddHeader(const std::string& value, const char* format);

  std::unique_ptr<TResponse> response_;
  std::array<std::string, kFieldCount> fields_;
};

// The process-wide internet handle; null while closed. Written only on the
// main thread, at the start and end of a job.
extern win::UniqueInternet InternetHandle;

// Closes any open handle, then opens a new one with the system's proxy
// settings (synchronous, no agent name). True when a handle was obtained.
bool OpenInternet();

// Closes InternetHandle and clears it.
void CloseInternet();

}  // namespace orvix
