// Transfer page parser. Most cases are fixture files under data/: the page
// (UTF-8, after leading "#" comment lines) and, after "--- expected", the
// outline that the parser must give. The rest are behaviours a fixture
// cannot show (errors, re-parsing, accessors, the small readers).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "html/dom.h"
#include "parser/adsl_parser.h"
#include "text/platform.h"
#include "text/text_utils.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;

// The cases are listed when the program starts, also by test discovery,
// which runs without the test environment: then the build's own path helps.
fs::path DataDir() {
  if (const char* src = std::getenv("ORVIX_SOURCE_DIR")) return fs::path(src) / "tests" / "parser" / "data";
  return ORVIX_PARSER_DATA;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::u16string U(std::string_view utf8) { return platform::Utf8ToUtf16(utf8); }
std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"' || c == '\\') (out += '\\') += c;
    else out += c;
  }
  return out + "\"";
}

std::string Number(double v) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Everything a caller can read, items through the accessors.
std::string Outline(const TAdslParser& p) {
  std::string out;
  out += "status " + std::to_string(p.Status()) + "\n";
  out += "count " + std::to_string(p.Count()) + "\n";
  out += "serverMessage " + Quoted(p.ServerMessage()) + "\n";
  out += "recordTime " + Quoted(p.RecordTime()) + "\n";
  out += "detailText " + Quoted(p.DetailText()) + "\n";
  out += "headerText " + Quoted(p.HeaderText()) + "\n";
  out += "headerLastWord " + Quoted(p.HeaderLastWord()) + "\n";
  for (int i = 0; i < p.Count(); ++i) {
    out += "item " + Quoted(p.YearOf(i)) + " " + Quoted(p.MonthNameOf(i)) + " " + Number(p.UploadOf(i)) + " " +
           Number(p.DownloadOf(i)) + "\n";
  }
  return out;
}

struct PageCase {
  std::string name;
  std::string page;
  std::string expected;
};

std::vector<PageCase> LoadCases() {
  std::vector<PageCase> cases;
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator it(DataDir(), error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == ".case") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::string text = ReadAll(file);
    while (text.rfind("#", 0) == 0) text.erase(0, text.find('\n') + 1);
    const std::string marker = "--- expected\n";
    const std::size_t at = text.find(marker);
    PageCase c{file.stem().string(), text.substr(0, at), at == std::string::npos ? "" : text.substr(at + marker.size())};
    cases.push_back(std::move(c));
  }
  return cases;
}

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class PageFixture : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageFixture, GivesExpectedOutline) {
  TAdslParser parser;
  parser.Parse(U(GetParam().page));
  EXPECT_EQ(Outline(parser), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageFixture, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST(AdslParser, FixturesAreThere) { EXPECT_GE(LoadCases().size(), 10u); }

const char kFullPage[] =
    "<table></table><table><tr><td>Ad Soyad Giriş</td></tr></table>"
    "<table><tr><td>K</td><td>10:00</td></tr><tr><td>D</td><td>detay</td></tr></table>"
    "<table><tr><td>2013</td><td>Mart</td><td>1.234.567 (1,18 MB)</td><td>98.765.432 (94,19 MB)</td></tr>"
    "<tr><td>2012</td><td>Aralık</td><td>5.000 (4,88 KB)</td><td>7.000 (6,84 KB)</td></tr></table>";

TEST(AdslParser, NewestMonthAndAccessorsOutsideTheItems) {
  TAdslParser parser;
  // Before any parse nothing is readable.
  EXPECT_EQ(parser.LastDownload(), 0);
  EXPECT_EQ(parser.LastYear(), u"");

  parser.Parse(U(kFullPage));
  ASSERT_EQ(parser.Status(), 0);
  ASSERT_EQ(parser.Count(), 2);
  EXPECT_EQ(parser.LastDownload(), 98765432);
  EXPECT_EQ(parser.LastUpload(), 1234567);
  EXPECT_EQ(parser.LastMonthName(), u"Mart");
  EXPECT_EQ(parser.LastYear(), u"2013");
  for (int i : {-1, 2, 12, 1000}) {
    EXPECT_EQ(parser.YearOf(i), u"") << i;
    EXPECT_EQ(parser.MonthNameOf(i), u"") << i;
    EXPECT_EQ(parser.UploadOf(i), 0) << i;
    EXPECT_EQ(parser.DownloadOf(i), 0) << i;
  }
}

TEST(AdslParser, SecondParseResetsStatusCountAndMessage) {
  TAdslParser parser;
  parser.Parse(U("<table></table><table><tr><td>a</td><td>b</td><td>oturum bitti</td></tr></table>"));
  ASSERT_EQ(parser.Status(), -4);
  EXPECT_EQ(parser.ServerMessage(), u"oturum bitti");

  parser.Parse(U(kFullPage));
  EXPECT_EQ(parser.Status(), 0);
  EXPECT_EQ(parser.ServerMessage(), u"");
  EXPECT_EQ(parser.Count(), 2);

  // A message page afterwards: no items, but the page texts of the earlier
  // parse are not cleared by the reset.
  parser.Parse(U("<table></table><table><tr><td>a</td><td>b</td><td>c</td></tr></table>"));
  EXPECT_EQ(parser.Status(), -4);
  EXPECT_EQ(parser.Count(), 0);
  EXPECT_EQ(parser.LastDownload(), 0);
  EXPECT_EQ(parser.RecordTime(), u"10:00");
  EXPECT_EQ(parser.HeaderText(), u"Ad Soyad");
}

TEST(AdslParser, MessagePageWithoutThirdCellRaises) {
  for (const char* page : {"<table></table><table><tr><td>one</td></tr></table>",
                           "<table></table><table><tr><td>one</td><td>two</td></tr></table><table></table>"}) {
    TAdslParser parser;
    EXPECT_THROW(parser.Parse(U(page)), TransferPageError) << page;
    EXPECT_EQ(parser.ServerMessage(), u"");
  }
}

TEST(AdslParser, DeeplyNestedPageIsWalkedWithoutRecursion) {
  // A hostile or broken page: 100000 unclosed <b> inside a cell. Reading it
  // must neither overflow the stack nor take quadratic time.
  std::string page = "<table></table><table><tr><td>H</td></tr></table>"
                     "<table><tr><td>K</td><td>t</td></tr></table><table><tr><td>2013</td><td>Ocak</td>"
                     "<td>1 (a)</td><td>";
  for (int i = 0; i < 100000; ++i) page += "<b>";
  page += "42 (x)";
  TAdslParser parser;
  parser.Parse(U(page));
  EXPECT_EQ(parser.Status(), 0);
  ASSERT_EQ(parser.Count(), 1);
  EXPECT_EQ(parser.DownloadOf(0), 42);
}

TEST(ElementText, ConcatenatesDescendantTextInDocumentOrder) {
  TAdslParser parser;
  parser.Parse(U("<div id=x>a<b>b<i>c</i>d</b>e<!--f--></div>"));
  const TDocument* doc = parser.Document();
  ASSERT_NE(doc, nullptr);
  std::unique_ptr<TSearchNodeList> divs = const_cast<TDocument*>(doc)->getElementsByTagName(u"div");
  ASSERT_EQ(divs->length(), 1);
  // Comment values are node values too; attribute values are not children.
  EXPECT_EQ(ElementText(divs->item(0)), u"abcdef");
  EXPECT_EQ(ElementText(nullptr), u"");
}

TEST(TrimBlanks, RemovesControlCharactersAndSpacesOnly) {
  EXPECT_EQ(TrimBlanks(std::u16string_view(u"\t\r\n x y \x01\x1f ")), u"x y");
  EXPECT_EQ(TrimBlanks(std::u16string_view(u"\u00a0x\u00a0")), u"\u00a0x\u00a0");  // no-break space stays
  EXPECT_EQ(TrimBlanks(std::u16string_view(u"   ")), u"");
  EXPECT_EQ(TrimBlanks(std::string_view("\xfd x\xdd ")), "\xfd x\xdd");  // high bytes are letters
}

TEST(MonthNumbers, AreExactBothWays) {
  const char16_t* names[] = {u"Ocak",   u"Şubat",   u"Mart",  u"Nisan", u"Mayıs", u"Haziran",
                             u"Temmuz", u"Ağustos", u"Eylül", u"Ekim",  u"Kasım", u"Aralık"};
  for (int i = 0; i < 12; ++i) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%.2d", i + 1);
    EXPECT_EQ(MonthToNumber(names[i]), expected);
    EXPECT_EQ(NumberToMonth(expected), names[i]);
  }
  for (const char16_t* odd : {u"mart", u"Subat", u"MART", u" Mart", u"", u"Aralik"}) {
    EXPECT_EQ(MonthToNumber(odd), "0") << Utf8(odd);
  }
  for (const char* odd : {"0", "13", "-1", "", "x", "1x", " 1", "99999999999999999999"}) {
    EXPECT_EQ(NumberToMonth(odd), u"") << odd;
  }
  EXPECT_EQ(NumberToMonth("3"), u"Mart");
}

class AmountTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetSeparatorsOverride(0, 0); }
};

TEST_F(AmountTest, DotsAreGroupMarksAndTheUsersDecimalSeparatorCounts) {
  platform::SetSeparatorsOverride(u',', u'.');
  EXPECT_EQ(ParseAmount(u"1.234.567"), 1234567);
  EXPECT_EQ(ParseAmount(u"12,5"), 12.5);
  EXPECT_EQ(ParseAmount(u" 7 "), 7);
  EXPECT_EQ(ParseAmount(u"9007199254740993"), 9007199254740992.0);  // nearest double
  for (const char16_t* bad : {u"", u"abc", u"1 2", u"1,2,3", u"--1", u"1e", u"1e999", u",", u"12 KB"}) {
    EXPECT_EQ(ParseAmount(bad), 0) << Utf8(bad);
  }
  // An English system: dots still go (the portal groups with them), and a
  // comma is no number.
  platform::SetSeparatorsOverride(u'.', u',');
  EXPECT_EQ(ParseAmount(u"1.234.567"), 1234567);
  EXPECT_EQ(ParseAmount(u"1.5"), 15);
  EXPECT_EQ(ParseAmount(u"12,5"), 0);
}

}  // namespace
}  // namespace orvix
