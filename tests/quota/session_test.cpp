// The window-free rules of the portal conversation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "net/charset.h"
#include "quota/session.h"
#include "resources/resource_texts.h"
#include "text/platform.h"

namespace orvix {
namespace {

std::u16string U(std::string_view utf8) { return platform::Utf8ToUtf16(utf8); }

TEST(SessionCookie, TakesJsessionIdUpToItsSemicolon) {
  EXPECT_EQ(SessionCookieFrom("JSESSIONID=ABC; Path=/adslkota"), "JSESSIONID=ABC");
  EXPECT_EQ(SessionCookieFrom("lang=tr; JSESSIONID=ABC; Path=/"), "JSESSIONID=ABC");
  EXPECT_EQ(SessionCookieFrom("JSESSIONID=ABC"), "JSESSIONID=ABC");
  EXPECT_EQ(SessionCookieFrom("lang=tr; Path=/"), "");
  EXPECT_EQ(SessionCookieFrom(""), "");
  EXPECT_EQ(SessionCookieFrom("jsessionid=abc"), "");  // the portal writes it in capitals
  // A line break would start a header of its own in the next request.
  EXPECT_EQ(SessionCookieFrom("JSESSIONID=ABC\r\nX-Injected: 1"), "JSESSIONID=ABC");
  EXPECT_EQ(SessionCookieFrom("JSESSIONID=ABC\rX: 1; Path=/"), "JSESSIONID=ABC");
  EXPECT_EQ(SessionCookieFrom("JSESSIONID=ABC\nX: 1"), "JSESSIONID=ABC");
}

// The Set-Cookie values of the portal's answers, one list an answer, and
// the one Cookie header every later request then carries.
TEST(SessionCookie, LaterRequestsSendTheConsentCookieFirst) {
  const struct {
    std::vector<std::vector<std::string>> answers;
    const char* header;
  } rows[] = {
      {{{"JSESSIONID=ABC"}}, "usageConfirm=true; JSESSIONID=ABC"},
      {{}, ""},
      // The bundled portal: the session, then the load balancer's cookie.
      {{{"JSESSIONID=0A7F.kota02; Path=/adslkota; Secure; HttpOnly", "LBKOTA=kota02; Path=/"}},
       "usageConfirm=true; JSESSIONID=0A7F.kota02; LBKOTA=kota02"},
      {{{"LBKOTA=kota02; Path=/", "JSESSIONID=ABC; Path=/adslkota"}}, "usageConfirm=true; JSESSIONID=ABC; LBKOTA=kota02"},
      // The session in a later pair; the first pair is a cookie of its own.
      {{{"lang=tr; JSESSIONID=S0UND; Path=/"}}, "usageConfirm=true; JSESSIONID=S0UND; lang=tr"},
      // Attributes are no cookies.
      {{{"JSESSIONID=A; Path=/; Domain=adslkota.orvix.example; Expires=Wed, 09 Jun 2021 10:18:14 GMT; "
         "Max-Age=3600; Secure; HttpOnly; SameSite=Lax"}},
       "usageConfirm=true; JSESSIONID=A"},
      // Without a session only the portal's others go back.
      {{{"LBKOTA=kota02; Path=/"}}, "LBKOTA=kota02"},
      // Set again: the new value in the old place; never two of a name.
      {{{"JSESSIONID=A", "LB=1", "x=1"}, {"LB=2", "JSESSIONID=B; Path=/"}}, "usageConfirm=true; JSESSIONID=B; LB=2; x=1"},
      {{{"LB=1", "LB=2"}}, "LB=2"},
      {{{"lang=tr; JSESSIONID=A; JSESSIONID=B"}}, "usageConfirm=true; JSESSIONID=A; lang=tr"},
      // The consent cookie is the program's own.
      {{{"usageConfirm=false", "JSESSIONID=A"}}, "usageConfirm=true; JSESSIONID=A"},
      // Blanks around names and values go; pairs without a name or "=" count
      // for nothing.
      {{{"  LB = 1 ; Path=/", "=x", "garbage; JSESSIONID=A"}}, "usageConfirm=true; JSESSIONID=A; LB=1"},
      // The portal writes the session's name in capitals: another is no session.
      {{{"jsessionid=abc"}}, "jsessionid=abc"},
      // A line break would start a header of its own in the next request.
      {{{"LB=1\r\nX-Injected: 1", "JSESSIONID=A\nX: 1; Path=/"}}, "usageConfirm=true; JSESSIONID=A; LB=1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.header);
    PortalCookies cookies;
    for (const auto& answer : row.answers) {
      for (const std::string& setCookie : answer) cookies.Take(setCookie);
    }
    EXPECT_EQ(cookies.Header(), row.header);
    // A new login page starts with none.
    cookies.Clear();
    EXPECT_EQ(cookies.Header(), "");
  }
}

class RefusalTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetAnsiCodePageOverride(0); }
};

TEST_F(RefusalTest, MarkerIsSearchedInTheDecodedText) {
  EXPECT_TRUE(IsRefusalPage(u"<p>İşlem hatası</p>"));
  EXPECT_FALSE(IsRefusalPage(u"<p>Islem hatasi</p>"));  // what code page 1252 makes of the marker
  EXPECT_FALSE(IsRefusalPage(u"<p>İşlem</p> hatası"));
  // A Turkish user on a Windows in another language: the system code page
  // has no part in reading the portal's answer.
  const std::string cp1254 = "<p>\xDD\xFElem hatas\xFD</p>";
  for (unsigned codePage : {1254u, 1252u, 65001u}) {
    SCOPED_TRACE(codePage);
    platform::SetAnsiCodePageOverride(codePage);
    EXPECT_TRUE(IsRefusalPage(DecodePortalText(cp1254, "")));
    EXPECT_TRUE(IsRefusalPage(DecodePortalText(platform::Utf16ToUtf8(u"İşlem hatası"), "text/html; charset=UTF-8")));
  }
}

// One portal answer: its bytes and Content-Type, a part of the text it must
// decode to (all of it when `whole`), and whether it is a refusal. A body
// starting with "@" names a page of the bundled portal instead.
struct DecodeRow {
  const char* name;
  std::string body;
  const char* contentType;
  std::u16string text;
  bool whole;
  bool refused;
};

void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.name; }

std::string PortalPage(std::string_view name) {
  const char* src = std::getenv("ORVIX_SOURCE_DIR");
  const std::string dir = src ? std::string(src) + "/tools/fake-network/scenarios/portal/" : ORVIX_PORTAL_PAGES "/";
  std::ifstream in(dir + std::string(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class PortalTextTest : public ::testing::TestWithParam<DecodeRow> {
 protected:
  // The answers decode the same whatever the Windows language.
  void SetUp() override { platform::SetAnsiCodePageOverride(1252); }
  void TearDown() override { platform::SetAnsiCodePageOverride(0); }
};

TEST_P(PortalTextTest, DecodesByTheAnswersOwnCharset) {
  const DecodeRow& row = GetParam();
  const std::string body = row.body.starts_with('@') ? PortalPage(row.body.substr(1)) : row.body;
  ASSERT_FALSE(body.empty());
  const std::u16string text = DecodePortalText(body, row.contentType);
  if (row.whole) {
    EXPECT_EQ(text, row.text);
  } else {
    EXPECT_NE(text.find(row.text), std::u16string::npos) << platform::Utf16ToUtf8(text);
  }
  EXPECT_EQ(IsRefusalPage(text), row.refused);
}

const std::string kRefusal1254 = "<td>\xDD\xFElem hatas\xFD: \xDE" "ifre</td>";  // "İşlem hatası: Şifre"
const std::u16string kRefusalText = u"<td>İşlem hatası: Şifre</td>";
const std::string kRefusalUtf8 = "<td>\xC4\xB0\xC5\x9Flem hatas\xC4\xB1: \xC5\x9E" "ifre</td>";

INSTANTIATE_TEST_SUITE_P(
    Answers, PortalTextTest,
    ::testing::Values(
        DecodeRow{"cp1254_undeclared", kRefusal1254, "", kRefusalText, true, true},
        DecodeRow{"cp1254_header_without_charset", kRefusal1254, "text/html", kRefusalText, true, true},
        DecodeRow{"iso_8859_9_header", kRefusal1254, "text/html; charset=ISO-8859-9", kRefusalText, true, true},
        DecodeRow{"latin5_header", kRefusal1254, "text/html;charset=latin5", kRefusalText, true, true},
        // 0x80..0x9F as Windows-1254 has them; 0x81 and 0x9E are undefined
        // and keep their value, as Windows decodes them.
        DecodeRow{"windows_1254_quoted", "\x80\x81\x8A\x9E\x9F\xD0\xF0", "text/html; charset=\"Windows-1254\"",
                  u"\u20AC\u0081\u0160\u009E\u0178Ğğ", true, false},
        DecodeRow{"utf8_header", kRefusalUtf8, "text/html; charset=utf-8", kRefusalText, true, true},
        DecodeRow{"utf8_label_without_dash", "Aral\xC4\xB1k", "text/html; Charset = utf8 ", u"Aralık", true, false},
        DecodeRow{"utf8_supplementary", "\xF0\x9F\x98\x80", "text/html;charset=utf-8", u"\U0001F600", true, false},
        DecodeRow{"meta_charset", "<html><head><meta charset=UTF-8></head>" + kRefusalUtf8, "", kRefusalText,
                  false, true},
        DecodeRow{"meta_http_equiv", "<META HTTP-EQUIV='content-type' CONTENT='text/html; charset=\"utf-8\"'>" +
                      kRefusalUtf8, "text/html", kRefusalText, false, true},
        DecodeRow{"meta_content_without_http_equiv", "<meta content='text/html; charset=utf-8'>" + kRefusalUtf8,
                  "", u"Ä°", false, false},
        DecodeRow{"header_beats_meta", "<meta charset=utf-8>" + kRefusal1254, "text/html; charset=windows-1254",
                  kRefusalText, false, true},
        DecodeRow{"unknown_header_charset", kRefusal1254, "text/html; charset=x-klingon", kRefusalText, true, true},
        DecodeRow{"unknown_header_then_meta", "<meta charset=utf-8>" + kRefusalUtf8, "text/html; charset=koi9",
                  kRefusalText, false, true},
        DecodeRow{"unknown_meta_then_known", "<meta charset=x-none><meta charset=utf-8>" + kRefusalUtf8, "",
                  kRefusalText, false, true},
        DecodeRow{"charset_inside_another_parameter", kRefusal1254,
                  "text/html; x=\"a;charset=utf-8\"; charset=windows-1254", kRefusalText, true, true},
        DecodeRow{"meta_in_comment", "<!-- <meta charset=utf-8> -->" + kRefusalUtf8, "", u"Ä°", false, false},
        DecodeRow{"meta_in_attribute", "<a title=\"<meta charset=utf-8>\">" + kRefusalUtf8, "", u"Ä°", false, false},
        DecodeRow{"meta_past_1024_bytes", std::string(1024, ' ') + "<meta charset=utf-8>" + kRefusalUtf8, "",
                  u"Ä°", false, false},
        // Declared UTF-8 but not UTF-8: the portal's own code page.
        DecodeRow{"utf8_declared_cp1254_sent", kRefusal1254, "text/html; charset=utf-8", kRefusalText, true, true},
        DecodeRow{"utf8_overlong", "\xC0\xAF" + kRefusalUtf8, "text/html; charset=utf-8", u"À¯<td>Ä°", false,
                  false},
        DecodeRow{"utf8_surrogate", "\xED\xA0\x80", "text/html; charset=utf-8", u"í\u00A0\u20AC", true, false},
        DecodeRow{"utf8_above_10ffff", "\xF4\x90\x80\x80", "text/html; charset=utf-8", u"ô\u0090\u20AC\u20AC", true,
                  false},
        DecodeRow{"utf8_cut_at_the_end", kRefusalUtf8 + "\xC4", "text/html; charset=utf-8", u"</td>Ä", false,
                  false},
        // A byte order mark wins over every declaration and is dropped.
        DecodeRow{"utf8_bom", "\xEF\xBB\xBF" + kRefusalUtf8, "text/html; charset=windows-1254", kRefusalText, true,
                  true},
        // A Western label is what a servlet container puts on a page it was
        // told nothing about; the bytes are still the portal's own. The two
        // code pages differ only in Ğ ğ İ ı Ş ş (Ð ð Ý ý Þ þ in 1252).
        DecodeRow{"iso_8859_1_label", kRefusal1254, "text/html;charset=ISO-8859-1", kRefusalText, true, true},
        DecodeRow{"western_labels_differ_in_six_letters", "\xD0\xF0\xDD\xFD\xDE\xFE\x80\x8A\x9F",
                  "text/html; charset=windows-1252", u"ĞğİıŞş\u20AC\u0160\u0178", true, false},
        DecodeRow{"us_ascii_label", kRefusal1254, "text/html; charset=US-ASCII", kRefusalText, true, true},
        DecodeRow{"latin1_alias_label", kRefusal1254, "text/html; charset=latin1", kRefusalText, true, true},
        DecodeRow{"meta_iso_8859_1", "<meta charset=iso-8859-1>" + kRefusal1254, "", kRefusalText, false, true},
        DecodeRow{"portal_refusal_page", "@login_refused.html", "text/html;charset=windows-1254",
                  u"Güvenlik kodu hatalı girildi", false, true},
        DecodeRow{"portal_refusal_page_meta_only", "@login_refused.html", "", u"Güvenlik kodu hatalı girildi", false,
                  true},
        DecodeRow{"portal_login_answer", "@login_ok.html", "text/html;charset=windows-1254",
                  u"Kullanıcı Sözleşmesi", false, false},
        DecodeRow{"portal_transfer_refusal", "@transfer_error.html", "text/html;charset=windows-1254",
                  u"Oturumunuzun süresi dolmuştur", false, true},
        DecodeRow{"portal_refusal_page_iso_8859_1", "@login_refused.html", "text/html;charset=ISO-8859-1",
                  u"Güvenlik kodu hatalı girildi", false, true},
        DecodeRow{"portal_transfer_page_iso_8859_1", "@transfer.html", "text/html;charset=ISO-8859-1",
                  u"Ağustos", false, false}),
    [](const ::testing::TestParamInfo<DecodeRow>& info) { return std::string(info.param.name); });

TEST(ServerErrorText, IsTheFourthCellAsPlainText) {
  EXPECT_EQ(ServerErrorText(U("<table><tr><td>1</td><td>2</td></tr><tr><td>3</td>"
                              "<td>Kullanıcı adı  veya <b>şifre</b> hatalı</td><td>5</td></tr></table>")),
            U("Kullanıcı adı veya şifre hatalı"));
}

TEST(ServerErrorText, WithoutAFourthCellIsTheFixedText) {
  EXPECT_EQ(ResourceText(104), U("Hata. İstisnai durum oluştu!"));
  EXPECT_EQ(ServerErrorText(U("<table><tr><td>1</td><td>2</td><td>3</td></tr></table>")), ResourceText(104));
  EXPECT_EQ(ServerErrorText(u""), ResourceText(104));
}

}  // namespace
}  // namespace orvix
