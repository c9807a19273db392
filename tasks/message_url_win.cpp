#include <charconv>

#include "net/copydata_win.h"
#include "net/request_win.h"
#include "tasks/jobs_win.h"
#include "tasks/network_job_win.h"
#include "text/platform.h"
#include "text/win_text.h"

namespace orvix::tasks {
namespace {

int ReadBoxType(const std::string& text) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto res = std::from_chars(first, last, value);
  if (res.ec != std::errc() || res.ptr != last || first == last) return 0;
  return value;
}

struct SplitUrl {
  std::string scheme, host, path, extra;
};

// The platform's URL parser; false when it cannot split the text.
bool Split(const std::string& url, SplitUrl& out) {
  char scheme[INTERNET_MAX_SCHEME_LENGTH + 1] = {};
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  std::string path(url.size() + 1, '\0');
  std::string extra(url.size() + 1, '\0');
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = sizeof scheme;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  out.scheme.assign(scheme, parts.dwSchemeLength);
  out.host.assign(host, parts.dwHostNameLength);
  out.path.assign(path.data(), parts.dwUrlPathLength);
  out.extra.assign(extra.data(), parts.dwExtraInfoLength);
  return true;
}

bool IsHttps(const std::string& scheme) {
  return scheme.size() == 5 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, scheme.c_str(), 5, "https", 5) ==
                                   CSTR_EQUAL;
}

}  // namespace

void ShowMessageCommand(const std::string& caption, const std::string& text, const std::string& type) {
  const std::u16string wideCaption = platform::AnsiToWide(caption);
  const std::u16string wideText = platform::AnsiToWide(text);
  MessageBoxW(nullptr, Wide(wideText),
              Wide(wideCaption), static_cast<UINT>(ReadBoxType(type)));
}

void FetchUrlCommand(HWND parent, HWND instanceWindow, const std::string& url) {
  RunNetworkJob([&] {
    std::int32_t tag = copydata::kOk;
    std::string body;
    if (!url.empty()) {
      SplitUrl parts;
      if (!Split(url, parts)) {
        tag = copydata::kFailure;
      } else {
        TRequest request;
        // A port written in the URL is not used: 443 for https, else 80.
        request.Secure = IsHttps(parts.scheme);
        request.SetField(request_field::kHost, parts.host);
        request.SetField(request_field::kPath, parts.path + parts.extra);
        request.SetField(request_field::kConnection, "Keep-Alive");
        request.SetField(request_field::kMethod, "GET");
        if (request.Execute(InternetHandle.get()) == 0) body = request.Response().GetText();
      }
    }
    if (IsWindow(parent)) SendCopyData(parent, instanceWindow, tag, body.data(), body.size());
  });
}

}  // namespace orvix::tasks
