// The quota report: byte formatting, the record for the parent window, the
// report and failure texts, and the whole report step on pages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/charset.h"
#include "quota/report.h"
#include "resources/resource_texts.h"
#include "text/codepage.h"
#include "text/platform.h"

namespace orvix {
namespace {

std::u16string U(std::string_view utf8) { return platform::Utf8ToUtf16(utf8); }
// A page as the portal sends it (Windows-1254, no charset declared), read
// the way the dialog reads it.
std::u16string Page(std::string_view utf8) { return DecodePortalText(codepage::Encode(1254, U(utf8)), ""); }

class SeparatorTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetSeparatorsOverride(u',', u'.'); }
  void TearDown() override { platform::SetSeparatorsOverride(0, 0); }
};

using FormatBytesTest = SeparatorTest;

TEST_F(FormatBytesTest, TurkishSeparatorsAndUnitBoundaries) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "0 B"},
      {1023, "1.023 B"},
      {1024, "1 KB"},
      {1048575, "1.024 KB"},  // rounds up into the next thousand, still KB
      {1048576, "1 MB"},
      {1073741823, "1.024 MB"},
      {1073741824, "1,00 GB"},
      {1536, "2 KB"},          // halves go away from zero
      {2560, "3 KB"},
      {1023.5, "1.024 B"},
      {1610612736, "1,50 GB"},
      {1079003734, "1,00 GB"},  // 1.0049 GB
      {1079217202, "1,01 GB"},  // 1.0051 GB
      {6047313952768.0, "5.632,00 GB"},
      {-5, "-5 B"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatBytes(c.value), c.text) << c.value;
}

TEST_F(FormatBytesTest, FollowsTheUsersSeparators) {
  platform::SetSeparatorsOverride(u'.', u',');
  EXPECT_EQ(FormatBytes(1325598706237.4), "1,234.56 GB");
  EXPECT_EQ(FormatBytes(1000), "1,000 B");
  // A separator outside ASCII comes out in the system code page (1254).
  platform::SetSeparatorsOverride(u',', u'\u00a0');
  EXPECT_EQ(FormatBytes(1023 * 1024.0), "1\xa0" "023 KB");
}

double ReadDouble(const QuotaResultBytes& b, std::size_t at) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[at + i];
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// The UTF-16LE text at a field, up to its zero.
std::u16string ReadText(const QuotaResultBytes& b, std::size_t at, std::size_t size) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t c = static_cast<char16_t>(b[at + i] | (b[at + i + 1] << 8));
    if (!c) break;
    s += c;
  }
  return s;
}

bool ZeroFrom(const QuotaResultBytes& b, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (b[i]) return false;
  return true;
}

QuotaSummary TwoMonths() {
  QuotaSummary s;
  s.lastDownload = 98765432;
  s.lastUpload = 1234567;
  s.recordTime = u"14.03.2013 10:22";
  s.lastMonthName = u"Mart";
  s.lastYear = u"2013";
  s.detailText = u"Paket";
  s.headerText = U("Ad Soyad");
  s.items = {{u"2012", U("Aralık"), 7000, 5000}, {u"2013", u"Mart", 98765432, 1234567}};
  return s;
}

TEST(QuotaResult, FieldsSitAtTheirOffsetsLittleEndian) {
  const QuotaResultBytes b = BuildQuotaResult(TwoMonths());
  ASSERT_EQ(b.size(), 1576u);
  // 98765432 = 0x41978C29E0000000 as a double, low byte first.
  const std::uint8_t download[8] = {0, 0, 0, 0xE0, 0x29, 0x8C, 0x97, 0x41};
  EXPECT_EQ(std::memcmp(&b[0], download, 8), 0);
  EXPECT_EQ(ReadDouble(b, 8), 1234567);
  EXPECT_EQ(b[16], 2);
  EXPECT_TRUE(ZeroFrom(b, 17, 20));
  EXPECT_EQ(ReadText(b, 20, 64), u"14.03.2013 10:22");
  EXPECT_EQ(ReadText(b, 84, 64), u"Mart");
  EXPECT_EQ(ReadText(b, 148, 64), u"2013");
  EXPECT_EQ(ReadText(b, 212, 64), u"Paket");
  EXPECT_EQ(ReadText(b, 276, 532), U("Ad Soyad"));
  // "ı" (U+0131) is stored low byte first.
  EXPECT_EQ(b[276 + 2 * 1], 'd');
  EXPECT_EQ(b[808 + 16 + 2 * 4], 0x31);
  EXPECT_EQ(b[808 + 16 + 2 * 4 + 1], 0x01);
  EXPECT_EQ(ReadText(b, 808, 16), u"2012");
  EXPECT_EQ(ReadText(b, 808 + 16, 32), U("Aralık"));
  EXPECT_EQ(ReadDouble(b, 808 + 48), 7000);
  EXPECT_EQ(ReadDouble(b, 808 + 56), 5000);
  EXPECT_EQ(ReadText(b, 872, 16), u"2013");
  EXPECT_EQ(ReadDouble(b, 872 + 48), 98765432);
  EXPECT_EQ(ReadDouble(b, 872 + 56), 1234567);
  // Unused items and every byte after a text's terminator are zero.
  EXPECT_TRUE(ZeroFrom(b, 936, 1576));
  EXPECT_TRUE(ZeroFrom(b, 20 + 2 * 16, 84));
}

TEST(QuotaResult, OverlongTextsAreCutInsideTheirFields) {
  QuotaSummary s = TwoMonths();
  s.recordTime = std::u16string(100, u'r');
  s.headerText = std::u16string(1000, u'h');
  s.items[0].year = u"2012-2013";          // 9 units, the field holds 7
  s.items[0].monthName = std::u16string(14, u'm') + u"\U0001F600";  // pair across the cut
  const QuotaResultBytes b = BuildQuotaResult(s);
  EXPECT_EQ(ReadText(b, 20, 64), std::u16string(31, u'r'));
  EXPECT_EQ(b[82], 0);
  EXPECT_EQ(b[83], 0);
  EXPECT_EQ(ReadText(b, 84, 64), u"Mart");
  EXPECT_EQ(ReadText(b, 276, 532), std::u16string(265, u'h'));
  EXPECT_EQ(b[806], 0);
  EXPECT_EQ(b[807], 0);
  EXPECT_EQ(ReadText(b, 808, 16), u"2012-20");
  EXPECT_EQ(ReadText(b, 808 + 16, 32), std::u16string(14, u'm'));  // no lone high surrogate
  EXPECT_EQ(ReadDouble(b, 808 + 48), 7000);
}

TEST(QuotaResult, NeverWritesMoreThanTwelveItems) {
  QuotaSummary s = TwoMonths();
  s.items.assign(20, {u"2000", u"Ocak", 1, 2});
  const QuotaResultBytes b = BuildQuotaResult(s);
  EXPECT_EQ(b[16], 12);
  EXPECT_EQ(ReadDouble(b, 808 + 11 * 64 + 56), 2);
}

TEST(Changes, ANewMonthShowsTheNewTotal) {
  const TransferChanges up = ChangesSince({1000, 500}, 1500, 700);
  EXPECT_EQ(up.download, 500);
  EXPECT_EQ(up.upload, 200);
  const TransferChanges reset = ChangesSince({1000, 500}, 300, 600);
  EXPECT_EQ(reset.download, 300);
  EXPECT_EQ(reset.upload, 100);
}

using ReportTextTest = SeparatorTest;

TEST_F(ReportTextTest, FirstQueryReportsTheWholeTotals) {
  EXPECT_EQ(ReportText(TwoMonths(), {0, 0}),
            U("Kota bilgileriniz başarıyla güncellendi.\r\n"
              "Dönem: 2013, Mart\r\nToplam Download: 94 MB\r\nToplam Upload: 1 MB\r\n"
              "Kayıt Zamanı: 14.03.2013 10:22\r\n\r\nBu ay içindeki en son güncellemeye göre\r\n"
              "Download değişimi: 94 MB\r\nUpload değişimi: 1 MB\r\n"));
}

TEST_F(ReportTextTest, SameTotalsMeanNoChange) {
  const std::u16string text = ReportText(TwoMonths(), {98765432, 1234567});
  EXPECT_EQ(text.rfind(U("Kota bilgilerinizde bir değişiklik yok.\r\nDönem"), 0), 0u);
  EXPECT_NE(text.find(U("Download değişimi: 0 B\r\nUpload değişimi: 0 B\r\n")), std::u16string::npos);
}

TEST_F(ReportTextTest, OnlyOneTotalChangedStillCountsAsUpdate) {
  const std::u16string text = ReportText(TwoMonths(), {98765432, 1234000});
  EXPECT_EQ(text.rfind(U("Kota bilgileriniz başarıyla güncellendi."), 0), 0u);
  EXPECT_NE(text.find(U("Upload değişimi: 567 B")), std::u16string::npos);
}

TEST(FillTemplate, SubstitutesInOrderAndLeavesTheRest) {
  EXPECT_EQ(FillTemplate(u"%s-%s %d %% %s", {u"a", u"b"}), u"a-b %d % %s");
  EXPECT_EQ(FillTemplate(u"%s", {u"%s"}), u"%s");  // arguments are not re-read
}

TEST(FailureText, IsTheMessageAndTheRetryHint) {
  const std::u16string hint =
      U("\r\n\r\nBelirli aralıklarla \"Yinele\" düğmesine basarak kota bilgilerinize ulaşmayı deneyebilirsiniz.");
  EXPECT_EQ(FailureText(u""), hint);
  EXPECT_EQ(FailureText(u"Hata"), u"Hata" + hint);
}

std::vector<std::uint8_t> Utf16Le(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

const char kTransferPage[] =
    "<html><body><table><tr><td>logo</td></tr></table>"
    "<table><tr><td>Ad Soyad Giriş</td></tr></table>"
    "<table><tr><td>Kayıt Zamanı</td><td>14.03.2013 10:22</td></tr><tr><td>D</td><td>Paket</td></tr></table>"
    "<table><tr><td>2013</td><td>Mart</td><td>1.234.567 (1,18 MB)</td><td>98.765.432 (94,19 MB)</td></tr>"
    "<tr><td>2012</td><td>Aralık</td><td>5.000 (4,88 KB)</td><td>7.000 (6,84 KB)</td></tr></table>"
    "</body></html>";

// Run on a Windows in another language (code page 1252): the page's own
// code page decides, so the months, the header and the refusal still read.
class RunReportTest : public SeparatorTest {
 protected:
  void SetUp() override {
    SeparatorTest::SetUp();
    platform::SetAnsiCodePageOverride(1252);
  }
  void TearDown() override {
    platform::SetAnsiCodePageOverride(0);
    SeparatorTest::TearDown();
  }
};

TEST_F(RunReportTest, SuccessSendsTheRecordAndShowsTheReport) {
  const ReportOutcome r = RunReport(Page(kTransferPage), {0, 0});
  EXPECT_TRUE(r.succeeded());
  EXPECT_EQ(r.replyTag, 0);
  const QuotaResultBytes expected = BuildQuotaResult(TwoMonths());
  EXPECT_EQ(r.replyData, std::vector<std::uint8_t>(expected.begin(), expected.end()));
  EXPECT_EQ(r.statusText, ReportText(TwoMonths(), {0, 0}));
}

TEST_F(RunReportTest, RefusalPageReportsThePortalsText) {
  const std::u16string page = Page(
      "<table><tr><td>a</td><td>b</td><td>c</td><td>İşlem hatası: <b>oturum</b> yok</td></tr></table>");
  const ReportOutcome r = RunReport(page, {0, 0});
  EXPECT_TRUE(r.serverError);
  EXPECT_FALSE(r.succeeded());
  const std::u16string message = ResourceText(101) + U("İşlem hatası: oturum yok");
  EXPECT_EQ(r.replyTag, -1);
  EXPECT_EQ(r.replyData, Utf16Le(message));
  EXPECT_EQ(r.statusText, FailureText(message));
}

TEST_F(RunReportTest, ParserFailuresCarryTheirStatusAndMessage) {
  const ReportOutcome message =
      RunReport(Page("<table></table><table><tr><td>a</td><td>b</td><td>Bakım çalışması</td></tr></table>"), {});
  EXPECT_EQ(message.parserStatus, -4);
  EXPECT_FALSE(message.serverError);
  EXPECT_EQ(message.replyTag, -1);
  EXPECT_EQ(message.replyData, Utf16Le(U("Bakım çalışması")));
  EXPECT_EQ(message.statusText, FailureText(U("Bakım çalışması")));

  const ReportOutcome tooFew = RunReport(u"<table></table>", {});
  EXPECT_EQ(tooFew.parserStatus, -2);
  EXPECT_TRUE(tooFew.replyData.empty());
  EXPECT_EQ(tooFew.statusText, ResourceText(109));

  // A message page without its message cell raises inside Parse.
  const ReportOutcome raised = RunReport(u"<table></table><table><tr><td>a</td></tr></table>", {});
  EXPECT_EQ(raised.parserStatus, -1);
  EXPECT_EQ(raised.replyTag, -1);
  EXPECT_EQ(raised.statusText, ResourceText(109));
}

}  // namespace
}  // namespace orvix
