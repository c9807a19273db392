#include "net/request_win.h"

#include <charconv>
#include <string_view>

#include "text/text_utils.h"

namespace orvix {

win::UniqueInternet InternetHandle;

namespace {

constexpr DWORD kHeaderBufferSize = 1024;
constexpr DWORD kReadBufferSize = 8192;

// WinInet's own defaults are long or, for some of its calls, unbounded, and
// a quota dialog being closed has to wait for its running request. Each
// limit holds for one operation: establishing a connection (the proxy's or
// the server's; WinInet may try each address of a name once), handing over
// the request, and each single wait for answer bytes.
constexpr DWORD kConnectTimeoutMs = 30 * 1000;
constexpr DWORD kSendTimeoutMs = 30 * 1000;
constexpr DWORD kReceiveTimeoutMs = 30 * 1000;
// Reading the body stops once this much time has passed since Execute
// began, so a server that trickles its answer a byte at a time cannot hold a
// request either. The longest a request can take, then: a server that never
// answers, connect + send + one receive time-out (90 s, plus 30 s for each
// further address WinInet tries); one that answers its headers in time but
// not its body, the deadline plus one receive time-out (150 s), checked
// between reads. A redirect WinInet follows starts its own exchange before
// the body; only a server that trickles its header lines slower than the
// receive time-out but never stops is bounded by WinInet alone.
constexpr ULONGLONG kBodyDeadlineMs = 120 * 1000;
// The answer is held in memory whole, in a 32-bit process. The largest real
// answer is the transfer page (about 20 KB); the security-code image and
// sound are a few KB to a few hundred. A body beyond this is no answer of
// any service the program talks to: the request fails as if the connection
// had broken, and what was read is dropped.
constexpr std::size_t kMaxBodyBytes = 8 * 1024 * 1024;

// Limits for one handle; a handle that refuses an option keeps WinInet's
// value (the request is not failed for it).
void LimitWaits(HINTERNET handle) {
  DWORD connect = kConnectTimeoutMs;
  DWORD send = kSendTimeoutMs;
  DWORD receive = kReceiveTimeoutMs;
  ::InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
  ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

bool ValidIndex(int index) { return index >= 0 && index < kFieldCount; }

// One header value, or empty text when the header is absent or does not fit
// (with its terminator) in the fixed buffer. A longer header is treated as
// absent: the call is told the buffer's size and fails without writing past
// it, and the length it then reports is not trusted beyond the buffer.
std::string QueryHeader(HINTERNET request, DWORD infoLevel) {
  char buffer[kHeaderBufferSize] = {};
  DWORD length = sizeof buffer;
  DWORD index = 0;
  if (!::HttpQueryInfoA(request, infoLevel, buffer, &length, &index)) return {};
  const std::string_view text(buffer, length < sizeof buffer ? length : sizeof buffer);
  return std::string(text.substr(0, text.find('\0')));
}

// Every Set-Cookie value, in order, each cut at its first NUL. A value that
// does not fit the buffer is left out and the next one read; the first
// header that is not there ends the list. At most kMaxSetCookies are read.
constexpr DWORD kMaxSetCookies = 64;
std::vector<std::string> QuerySetCookies(HINTERNET request) {
  std::vector<std::string> values;
  for (DWORD i = 0; i < kMaxSetCookies; ++i) {
    char buffer[kHeaderBufferSize] = {};
    DWORD length = sizeof buffer;
    DWORD index = i;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_SET_COOKIE, buffer, &length, &index)) {
      if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER) continue;
      break;
    }
    const std::string_view text(buffer, length < sizeof buffer ? length : sizeof buffer);
    values.emplace_back(text.substr(0, text.find('\0')));
  }
  return values;
}

// The body length the answer announced, when the body must have it (not
// for HEAD, 1xx, 204 or 304 answers). WinInet reports a connection that
// closes before the announced end as a plain end of data, so this is how a
// cut answer is told from a whole one.
bool AnnouncedLength(HINTERNET request, const std::string& method, std::uint64_t& length) {
  if (method == "HEAD") return false;
  DWORD status = 0;
  DWORD size = sizeof status;
  DWORD index = 0;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index))
    return false;
  if (status < 200 || status == 204 || status == 304) return false;
  const std::string text = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, length);
  return ec == std::errc() && ptr != text.data();
}

}  // namespace

std::string TResponse::GetField(int index) const {
  return ValidIndex(index) ? fields_[index] : std::string();
}

void TResponse::SetField(int index, std::string text) {
  if (ValidIndex(index)) fields_[index] = std::move(text);
}

TRequest::TRequest() : response_(std::make_unique<TResponse>()) {
  fields_[request_field::kMethod] = "GET";
  fields_[request_field::kVersion] = "HTTP/1.1";
}

std::string TRequest::GetField(int index) const {
  return ValidIndex(index) ? fields_[index] : std::string();
}

void TRequest::SetField(int index, std::string text) {
  if (ValidIndex(index)) fields_[index] = std::move(text);
}

void TRequest::AddHeader(const std::string& value, const char* format) {
  if (value.empty()) return;
  const std::string_view f(format);
  const std::size_t at = f.find("%s");
  ExtraHeaders.append(f.substr(0, at));
  ExtraHeaders.append(value);
  ExtraHeaders.append(f.substr(at + 2));
}

std::int32_t TRequest::Execute(HINTERNET internet) {
  using namespace request_field;
  if (!internet) return -1;
  const ULONGLONG started = ::GetTickCount64();
  const auto context = static_cast<DWORD_PTR>(Context);

  // Only the two standard ports: the portal and every other service the
  // program talks to use them, and a "host:port" in slot 0 is not parsed.
  const INTERNET_PORT port = Secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  const UniqueInternet connection(::InternetConnectA(internet, fields_[kHost].c_str(), port, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, context));
  if (!connection) return -1;
  // Set on every level: the handle passed in need not come from
  // OpenInternet, and a new handle's inheritance of the values differs
  // between WinInet versions.
  LimitWaits(connection.get());

  // Deliberately no INTERNET_FLAG_IGNORE_CERT_* flags: the portal sends the
  // user's password, so a certificate WinInet does not trust must end the
  // request. WinInet's cache and its cookie store are left out only on
  // request.
  DWORD flags = INTERNET_FLAG_HYPERLINK;
  if (Secure) flags |= INTERNET_FLAG_SECURE;
  if (!FollowRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (BypassCache) flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (!CookieStore) flags |= INTERNET_FLAG_NO_COOKIES;
  // Declared after the connection, so it is closed before it.
  const UniqueInternet request(::HttpOpenRequestA(connection.get(), fields_[kMethod].c_str(),
                                                  fields_[kPath].c_str(), fields_[kVersion].c_str(),
                                                  nullptr, nullptr, flags, context));
  if (!request) return -1;
  LimitWaits(request.get());

  // The order is part of what the portal sees; keep it.
  AddHeader(fields_[kAccept], "Accept: %s\r\n");
  AddHeader(fields_[kCookie], "Cookie: %s\r\n");
  AddHeader(fields_[kReferer], "Referer: %s\r\n");
  AddHeader(fields_[kConnection], "Connection: %s\r\n");
  AddHeader(fields_[kContentType], "Content-Type: %s\r\n");

  const BOOL sent = ::HttpSendRequestA(
      request.get(), ExtraHeaders.empty() ? nullptr : ExtraHeaders.c_str(),
      static_cast<DWORD>(ExtraHeaders.size()), Body.empty() ? nullptr : Body.data(),
      static_cast<DWORD>(Body.size()));
  if (!sent) return -1;

  response_->SetField(response_field::kSetCookie, QueryHeader(request.get(), HTTP_QUERY_SET_COOKIE));
  response_->SetCookies = QuerySetCookies(request.get());
  response_->SetField(response_field::kContentType, QueryHeader(request.get(), HTTP_QUERY_CONTENT_TYPE));
  response_->RawHeaders = QueryHeader(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF);
  std::uint64_t announced = 0;
  const bool hasLength = AnnouncedLength(request.get(), fields_[kMethod], announced);

  // Every read asks for a full buffer; the available count only tells that
  // data (or the end) is there. ERROR_IO_PENDING is not a failure. A body
  // over the limit, or one still arriving at the deadline (a server that
  // sends forever or trickles), fails the request with nothing kept.
  const auto giveUp = [this] {
    std::string().swap(response_->Content);
    return -1;
  };
  char buffer[kReadBufferSize];
  DWORD read = 1;
  do {
    if (::GetTickCount64() - started > kBodyDeadlineMs) return giveUp();
    DWORD available = 0;
    if (::InternetQueryDataAvailable(request.get(), &available, 0, context)) {
      ZeroMemory(buffer, sizeof buffer);
      DWORD got = 0;
      if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &got)) {
        if (::GetLastError() != ERROR_IO_PENDING) return -1;
      } else {
        read = got;
        if (got > kMaxBodyBytes - response_->Content.size()) return giveUp();
        response_->Content.append(buffer, got);
      }
    } else if (::GetLastError() != ERROR_IO_PENDING) {
      return -1;
    }
  } while (read != 0);
  // An answer cut short is a broken connection: what arrived stays, as for
  // any failed read.
  if (hasLength && response_->Content.size() < announced) return -1;
  return 0;
}

TRequest::~TRequest() { WipeText(Body); }

bool OpenInternet() {
  CloseInternet();
  InternetHandle.reset(::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (InternetHandle) LimitWaits(InternetHandle.get());
  return static_cast<bool>(InternetHandle);
}

void CloseInternet() {
  InternetHandle.reset();
}

}  // namespace orvix
