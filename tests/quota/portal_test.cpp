// The six portal requests as the dialog sends them, and the login form.
#include <gtest/gtest.h>

#include "quota/dialog_layout.h"
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

    PortalCookies cookies;
    cookies.Take("JSESSIONID=ABC; Path=/adslkota");
    cookies.Take("LB=1");
    const PortalRequest withSession = RequestFor(row.step, cookies, "body");
    EXPECT_EQ(withSession.path, row.path);
    EXPECT_EQ(withSession.method, row.method);
    EXPECT_EQ(withSession.host, "adslkota.orvix.example");
    EXPECT_EQ(withSession.connection, "Keep-Alive");
    EXPECT_EQ(withSession.fresh, row.fresh);
    // The login page never sends a cookie; the others the consent cookie,
    // the session and the portal's other cookies, and nothing at all while
    // there is none. WinInet's cookie store adds none and keeps none.
    EXPECT_EQ(withSession.cookie, row.step == Step::kLoginPage ? "" : "usageConfirm=true; JSESSIONID=ABC; LB=1");
    EXPECT_EQ(RequestFor(row.step, PortalCookies()).cookie, "");
    EXPECT_FALSE(withSession.cookieStore);
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

// The dialog's pixel figures at the usual display scales: at 96 DPI they
// are the figures of an unscaled dialog; elsewhere rounded as MulDiv rounds
// (302.5 and 67.5 go up), the font as -MulDiv(14, dpi, 72) has it. Then the
// two figures held back by the template's controls, on the geometry the
// dialog has under Wine (group box top and saved height, the buttons' top;
// the picture's bottom and the top of "Giriş", above the code box's), whose font units grow
// slower than the DPI.
TEST(DialogMetrics, EachFigureIsThe96DpiFigureScaled) {
  const struct {
    int dpi, statusExtra, statusGap, pictureWidth, pictureHeight, codeFontPixels;
    int groupTop, saved, buttonsTop, statusHeight;
    int pictureBottom, codeTop, room;
  } rows[] = {
      {96, 45, 5, 242, 80, 19, 6, 129, 185, 174, 103, 99, 0},  // as it always was
      {120, 56, 6, 303, 100, 23, 8, 155, 300, 211, 100, 120, 0},
      {144, 68, 8, 363, 120, 28, 9, 183, 261, 244, 152, 138, 14},
      {192, 90, 10, 484, 160, 37, 12, 247, 354, 332, 202, 188, 14},
      {0, 45, 5, 242, 80, 19, 6, 129, 185, 174, 103, 99, 0},  // no DPI known: 96
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dpi);
    const DialogMetrics m = MetricsForDpi(row.dpi);
    EXPECT_EQ(m.statusExtra, row.statusExtra);
    EXPECT_EQ(m.statusGap, row.statusGap);
    EXPECT_EQ(m.pictureWidth, row.pictureWidth);
    EXPECT_EQ(m.pictureHeight, row.pictureHeight);
    EXPECT_EQ(m.codeFontPixels, row.codeFontPixels);
    EXPECT_EQ(StatusGroupHeight(m, row.saved, row.groupTop, row.buttonsTop), row.statusHeight);
    EXPECT_EQ(RoomForPicture(row.dpi, row.pictureBottom, row.codeTop), row.room);
  }
  EXPECT_EQ(ScaleForDpi(-45, 144), -68);  // halves away from zero both ways
  // Buttons closer than the gap: the box keeps its saved height.
  EXPECT_EQ(StatusGroupHeight(MetricsForDpi(96), 129, 6, 130), 129);
}

TEST(Report, APageWithoutMonthsIsAFailureNotZeroTotals) {
  // A month table without qualifying rows parses with status 0.
  const std::u16string page =
      u"<table></table><table><tr><td>Ad Soyad</td></tr></table>"
      u"<table><tr><td>Kayit</td><td>dun</td></tr></table><table><tr><td>Veri yok</td></tr></table>";
  const ReportOutcome outcome = RunReport(page, {});
  EXPECT_EQ(outcome.parserStatus, 0);
  EXPECT_TRUE(outcome.noMonths);
  EXPECT_FALSE(outcome.succeeded());
  EXPECT_EQ(outcome.replyTag, -1);
}

}  // namespace
}  // namespace orvix::portal
