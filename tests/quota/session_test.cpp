// The window-free rules of the portal conversation.
#include <gtest/gtest.h>

#include "resources/resource_texts.h"
#include "quota/session.h"
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

TEST(SessionCookie, LaterRequestsSendTheConsentCookieFirst) {
  EXPECT_EQ(CookieHeaderFor("JSESSIONID=ABC"), "usageConfirm=true; JSESSIONID=ABC");
  EXPECT_EQ(CookieHeaderFor(""), "");
}

class RefusalTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetAnsiCodePageOverride(0); }
};

TEST_F(RefusalTest, MarkerIsSearchedInTheSystemCodePage) {
  const std::string cp1254 = "<p>\xDD\xFElem hatas\xFD</p>";  // "İşlem hatası" in 1254
  EXPECT_TRUE(IsRefusalPage(cp1254));
  EXPECT_FALSE(IsRefusalPage("<p>Islem hatasi</p>"));
  EXPECT_FALSE(IsRefusalPage(platform::Utf16ToUtf8(u"İşlem hatası")));  // UTF-8 bytes on a 1254 system
  platform::SetAnsiCodePageOverride(65001);
  EXPECT_TRUE(IsRefusalPage(platform::Utf16ToUtf8(u"xİşlem hatasıx")));
}

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
