#include "net/request_win.h"

#include <cstdint>
#include <string_view>

namespace orvix {

win::UniqueInternet InternetHandle;

namespace {

constexpr DWORD kHeaderBufferSize = 1024;
constexpr DWORD kReadBufferSize = 8192;

bool ValidIndex(int index) { return index >= 0 && index < kFieldCount; }

// One header value, or empty text when the header is absent or does not fit
// (with its terminator) in the fixed buffer.
std::string QueryHeader(HINTERNET request, DWORD infoLevel) {
  char buffer[kHeaderBufferSize] = {};
  DWORD length = sizeof buffer;
  DWORD index = 0;
  if (!::HttpQueryInfoA(request, infoLevel, buffer, &length, &index)) return {};
  const std::string_view text(buffer, length < sizeof buffer ? length : sizeof buffer);
  return std::string(text.substr(0, text.find('\0')));
}

// Whether the body ended before the length its header announced. A
// connection that breaks mid-body ends WinInet's reads as if the body were
// complete; such an answer (half a security-code picture, half a transfer
// page) is a failed exchange, not a short answer.
bool CutShort(HINTERNET request, const std::string& method, std::size_t received) {
  if (method == "HEAD") return false;
  const std::string announced = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
  if (announced.empty() || announced.size() > 18) return false;
  std::uint64_t length = 0;
  for (const char c : announced) {
    if (c < '0' || c > '9') return false;
    length = length * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return received < length;
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
  const auto context = static_cast<DWORD_PTR>(Context);

  // Only the two standard ports: the portal and every other service the
  // program talks to use them, and a "host:port" in slot 0 is not parsed.
  const INTERNET_PORT port = Secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  const UniqueInternet connection(::InternetConnectA(internet, fields_[kHost].c_str(), port, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, context));
  if (!connection) return -1;

  // Deliberately no INTERNET_FLAG_IGNORE_CERT_* flags: the portal sends the
  // user's password, so a certificate WinInet does not trust must end the
  // request. WinInet's cache and cookie store are bypassed only on request.
  DWORD flags = INTERNET_FLAG_HYPERLINK;
  if (Secure) flags |= INTERNET_FLAG_SECURE;
  if (!FollowRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (BypassCache) flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (ManualCookies) flags |= INTERNET_FLAG_NO_COOKIES;
  // Declared after the connection, so it is closed before it.
  const UniqueInternet request(::HttpOpenRequestA(connection.get(), fields_[kMethod].c_str(),
                                                  fields_[kPath].c_str(), fields_[kVersion].c_str(),
                                                  nullptr, nullptr, flags, context));
  if (!request) return -1;

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
  response_->RawHeaders = QueryHeader(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF);

  // Every read asks for a full buffer; the available count only tells that
  // data (or the end) is there. ERROR_IO_PENDING is not a failure.
  char buffer[kReadBufferSize];
  DWORD read = 1;
  do {
    DWORD available = 0;
    if (::InternetQueryDataAvailable(request.get(), &available, 0, context)) {
      ZeroMemory(buffer, sizeof buffer);
      DWORD got = 0;
      if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &got)) {
        if (::GetLastError() != ERROR_IO_PENDING) return -1;
      } else {
        read = got;
        response_->Content.append(buffer, got);
      }
    } else if (::GetLastError() != ERROR_IO_PENDING) {
      return -1;
    }
  } while (read != 0);
  if (CutShort(request.get(), fields_[kMethod], response_->Content.size())) return -1;
  return 0;
}

TRequest::~TRequest() {
  volatile char* p = Body.data();
  for (std::size_t i = 0; i < Body.size(); ++i) p[i] = 0;
}

bool OpenInternet() {
  CloseInternet();
  InternetHandle.reset(::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  return static_cast<bool>(InternetHandle);
}

void CloseInternet() {
  InternetHandle.reset();
}

}  // namespace orvix
