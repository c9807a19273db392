#include "quota/portal.h"

#include "net/encoding.h"
#include "net/service_hosts.h"
#include "quota/session.h"
#include "resources/resource_ids.h"
#include "text/text_utils.h"

namespace orvix::portal {

StepInfo InfoOf(Step step) {
  switch (step) {
    case Step::kLoginPage:
      return {"/adslkota/login_tr.jsp", "GET", kLoginPageDone, IDS_STATUS_LOGIN_PAGE};
    case Step::kImage:
      return {"/adslkota/jcaptcha", "GET", kImageDone, IDS_STATUS_IMAGE};
    case Step::kSound:
      return {"/adslkota/sound", "GET", kSoundDone, IDS_STATUS_SOUND};
    case Step::kLoginForm:
      return {"/adslkota/loginSelf.do", "POST", kLoginFormDone, IDS_STATUS_LOGIN};
    case Step::kAgreement:
      return {"/adslkota/confirmAgreement.do?dispatch=agree", "GET", kAgreementDone, IDS_STATUS_AGREEMENT};
    case Step::kTransfer:
      return {"/adslkota/viewTransfer.do?dispatch=entry", "GET", kTransferDone, IDS_STATUS_TRANSFER};
  }
  return {"", "GET", 0, 0};
}

PortalRequest RequestFor(Step step, const PortalCookies& cookies, std::string body) {
  const StepInfo info = InfoOf(step);
  PortalRequest r;
  r.host = hosts::kQuotaPortalHost;
  r.path = info.path;
  r.method = info.method;
  r.connection = "Keep-Alive";
  if (step != Step::kLoginPage) r.cookie = cookies.Header();
  r.cookieStore = false;
  if (step == Step::kLoginForm) {
    r.contentType = "application/x-www-form-urlencoded";
    r.body = std::move(body);
  }
  // Every answer of the portal is about this moment: a security code, a
  // session, this month's totals. One served again from WinInet's cache
  // would show old totals as new or replay an old session.
  r.fresh = true;
  return r;
}

std::string PortalUrl(std::string_view path) {
  return std::string("https://") + hosts::kQuotaPortalHost + std::string(path);
}

std::string LoginFormBody(std::string_view userName, std::string_view password, std::string_view securityCode) {
  // The encoded credentials are wiped, and the body is built in one buffer
  // of its final size: a chain of + would leave copies of the password in
  // freed temporaries.
  std::string user = UrlEncode(userName);
  std::string pass = UrlEncode(password);
  const std::string code = UrlEncode(securityCode);
  constexpr std::string_view kStart = "dispatch=login&userName=", kPass = "&password=",
                             kCode = "&captchaResponse=", kEnd = "&lang=tr";
  std::string body;
  body.reserve(kStart.size() + user.size() + kPass.size() + pass.size() + kCode.size() + code.size() + kEnd.size());
  body.append(kStart).append(user).append(kPass).append(pass).append(kCode).append(code).append(kEnd);
  WipeText(user);
  WipeText(pass);
  return body;
}

}  // namespace orvix::portal
