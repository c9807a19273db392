// The six portal requests as the dialog sends them, and the login form.
#include <gtest/gtest.h>

#include "quota/portal.h"
#include "quota/report.h"
#include "text/platform.h"

namespace orvix::portal {
namespace {

TEST(PortalRequests, EachStepSendsItsPathMethodAndCookie) {
  struct Row {
    Step step;
    const char* path;
    const char* method;
    unsigned message;
    int status;
    bool fresh;
  };
  const Row rows[] = {
      {Step::kLoginPage, "/adslkota/login_tr.jsp", "GET", 1280, 202, true},
      {Step::kImage, "/adslkota/jcaptcha", "GET", 1281, 203, true},
      {Step::kLoginForm, "/adslkota/loginSelf.do", "POST", 1282, 207, true},
      {Step::kAgreement, "/adslkota/confirmAgreement.do?dispatch=agree", "GET", 1283, 208, true},
      {Step::kTransfer, "/adslkota/viewTransfer.do?dispatch=entry", "GET", 1284, 209, true},
      {Step::kSound, "/adslkota/sound", "GET", 1288, 204, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    const StepInfo info = InfoOf(row.step);
    EXPECT_STREQ(info.path, row.path);
    EXPECT_EQ(info.message, row.message);
    EXPECT_EQ(info.statusText, row.status);

    const PortalRequest withSession = RequestFor(row.step, "JSESSIONID=ABC", "body");
    EXPECT_EQ(withSession.path, row.path);
    EXPECT_EQ(withSession.method, row.method);
    EXPECT_EQ(withSession.host, "adslkota.orvix.example");
    EXPECT_EQ(withSession.connection, "Keep-Alive");
    EXPECT_EQ(withSession.fresh, row.fresh);
    // The login page never sends a cookie; the others the consent cookie
    // and the session, and nothing at all while there is no session.
    EXPECT_EQ(withSession.cookie, row.step == Step::kLoginPage ? "" : "usageConfirm=true; JSESSIONID=ABC");
    EXPECT_EQ(RequestFor(row.step, "").cookie, "");
    const bool form = row.step == Step::kLoginForm;
    EXPECT_EQ(withSession.contentType, form ? "application/x-www-form-urlencoded" : "");
    EXPECT_EQ(withSession.body, form ? "body" : "");
  }
}

TEST(PortalRequests, LoginFormEncodesEveryValueInTheSystemCodePage) {
  platform::SetAnsiCodePageOverride(1254);
  const std::string user = platform::WideToAnsi(u"ayşe@orvix");
  const std::string password = platform::WideToAnsi(u"ğ&=+ %");
  platform::SetAnsiCodePageOverride(0);
  EXPECT_EQ(LoginFormBody(user, password, "x7k"),
            "dispatch=login&userName=ay%FEe@orvix&password=%F0%26%3D%2B+%25&captchaResponse=x7k&lang=tr");
  EXPECT_EQ(LoginFormBody("", "", ""), "dispatch=login&userName=&password=&captchaResponse=&lang=tr");
}

TEST(Report, APageWithoutMonthsIsAFailureNotZeroTotals) {
  // A month table without qualifying rows parses with status 0.
  const std::u16string page =
      u"<table></table><table><tr><td>Ad Soyad</td></tr></table>"
      u"<table><tr><td>Kayit</td><td>dun</td></tr></table><table><tr><td>Veri yok</td></tr></table>";
  const ReportOutcome outcome = RunReport(page, {}, true);
  EXPECT_EQ(outcome.parserStatus, 0);
  EXPECT_TRUE(outcome.noMonths);
  EXPECT_FALSE(outcome.succeeded());
  EXPECT_EQ(outcome.replyTag, -1);
  EXPECT_EQ(outcome.focus, ReportOutcome::Focus::Tekrar);
}

}  // namespace
}  // namespace orvix::portal
