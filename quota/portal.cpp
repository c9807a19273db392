#include "quota/portal.h"

#include "net/encoding.h"
#include "net/service_hosts.h"
#include "quota/session.h"
#include "resources/resource_ids.h"

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

PortalRequest RequestFor(Step step, std::string_view sessionCookie, std::string body) {
  const StepInfo info = InfoOf(step);
  PortalRequest r;
  r.host = hosts::kQuotaPortalHost;
  r.path = info.path;
  r.method = info.method;
  r.connection = "Keep-Alive";
  if (step != Step::kLoginPage) r.cookie = CookieHeaderFor(sessionCookie);
  if (step == Step::kLoginForm) {
    r.contentType = "application/x-www-form-urlencoded";
    r.body = std::move(body);
  }
  r.fresh = step == Step::kImage || step == Step::kSound;
  return r;
}

std::string LoginFormBody(std::string_view userName, std::string_view password, std::string_view securityCode) {
  return "dispatch=login&userName=" + UrlEncode(userName) + "&password=" + UrlEncode(password) +
         "&captchaResponse=" + UrlEncode(securityCode) + "&lang=tr";
}

}  // namespace orvix::portal
