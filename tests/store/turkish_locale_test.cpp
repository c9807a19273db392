// Lookups and numbers that only go wrong on a Turkish system: upper-casing
// "i" to the dotted capital breaks ASCII key lookups, and a "," decimal
// separator breaks the files' floats. The Windows build runs this program
// under Wine with LC_ALL=tr_TR.UTF-8; natively the platform seam behaves
// like a Turkish system already.
#include <gtest/gtest.h>

#include "store/account.h"
#include "store/ini_file.h"
#include "tests/store/test_files.h"
#include "text/platform.h"

namespace orvix {
namespace {

using scratch::ScratchFile;
using scratch::Utf16Le;
using scratch::WriteBytes;

std::u16string Write(std::string_view name, std::u16string_view text) {
  return scratch::ScratchUtf16File(name, text);
}

TEST(TurkishSystem, UserLocaleUsesCommaDecimals) {
  // The precondition of the other cases: the locale really is Turkish.
  EXPECT_EQ(platform::DecimalSeparator(), u',');
}

TEST(TurkishSystem, DottedAndDotlessILookups) {
  TWMemIniFile ini(Write("tr-lookup.ini", u"[price]\r\nquota=1\r\n[update]\r\ndisplayname=Ay\u015Fe\r\n"));
  EXPECT_EQ(ini.ReadString(u"PRICE", u"QUOTA", u"-"), u"1");
  EXPECT_EQ(ini.ReadString(u"update", u"DISPLAYNAME", u"-"), u"Ay\u015Fe");
  EXPECT_EQ(ini.ReadString(u"UPDATE", u"DisplayName", u"-"), u"Ay\u015Fe");
  // The Turkish letters themselves are not folded into ASCII ones.
  EXPECT_EQ(ini.ReadString(u"update", u"D\u0130SPLAYNAME", u"-"), u"-");
  EXPECT_EQ(ini.ReadString(u"update", u"d\u0131splayname", u"-"), u"-");
  // Writing through a differently cased key replaces the line.
  ini.WriteString(u"Price", u"QUOTA", u"2");
  TWStringList lines;
  ini.ReadSectionValues(u"price", lines);
  EXPECT_EQ(lines.GetText(), u"QUOTA=2\r\n");
}

TEST(TurkishSystem, FloatsKeepTheDot) {
  const std::u16string file = Write("tr-float.ini", u"[update]\r\ndownload = 1234.5\r\n[price]\r\nmonthlypay=26.81\r\n");
  TAccountFile account(file);
  EXPECT_EQ(account.Download, 1234.5);
  EXPECT_EQ(account.MonthlyPay, 26.81);
  account.Upload = 0.009248;
  account.UpdateFile();
  TWMemIniFile back(file);
  EXPECT_EQ(back.ReadString(u"update", u"upload", u""), u"0.009248");
  EXPECT_EQ(back.ReadString(u"price", u"quota", u""), u"4294967296");
  EXPECT_EQ(back.ReadFloat(u"update", u"upload", 0), 0.009248);
  // The user's own form is not what the files use.
  back.WriteString(u"update", u"comma", u"1,5");
  EXPECT_EQ(back.ReadFloat(u"update", u"comma", -1), -1);
}

TEST(TurkishSystem, UnicodeFileNamesOpen) {
  const std::u16string file = scratch::ScratchDir().u16string() + u"/\u00E7\u0131kt\u0131.ini";
  TWMemIniFile ini(file);
  ini.WriteString(u"a", u"b", u"c");
  ini.UpdateFile();
  TWMemIniFile back(file);
  EXPECT_EQ(back.ReadString(u"a", u"b", u""), u"c");
}

}  // namespace
}  // namespace orvix
