// TAccountFile and the stored credentials.
#include <gtest/gtest.h>

#include "text/base64.h"
#include "store/account.h"
#include "store/credentials_key.h"
#include "tests/store/test_files.h"

namespace orvix {
namespace {

using scratch::ScratchFile;
using scratch::Utf16Le;
using scratch::WriteBytes;

std::u16string AccountFile(std::string_view name, std::u16string_view text) {
  return scratch::ScratchUtf16File(name, text);
}

TEST(AccountRecord, DefaultsWhenOnlyTheHashIsPresent) {
  TAccountManager manager(AccountFile("hash-only.ini", u"[account]\r\nhash=abc=\r\n"));
  const TAccountFile& a = manager.AccountFile();
  EXPECT_EQ(a.Hash, u"abc=");
  EXPECT_EQ(a.DownloadSpeed, 1024);
  EXPECT_EQ(a.PayPercent, 25);
  EXPECT_EQ(a.MonthlyPay, 26.81);
  EXPECT_EQ(a.UploadSpeed, 256);
  EXPECT_EQ(a.StaticIp, 0);
  EXPECT_EQ(a.PayPerMb, 0.009248);
  EXPECT_EQ(a.MaxPay, 45.31);
  EXPECT_EQ(a.Quota, 4294967296.0);
  EXPECT_EQ(a.LastUpdate, -1);
  EXPECT_EQ(a.Download, 0);
  EXPECT_EQ(a.Month, u"");

  TAccountManager missing(ScratchFile("no-account.ini"));
  EXPECT_EQ(missing.AccountFile().Hash, u"");
  EXPECT_EQ(missing.AccountFile().Quota, 4294967296.0);
}

TEST(AccountRecord, ReadsValuesAndReplacesBadQuotas) {
  TAccountFile a(AccountFile("values.ini",
                             u"[update]\r\nDownload = 123456789.5\r\nupload=42\r\nmonth=Mart\r\n"
                             u"displayname=Ay\u015Fe \u0130nce\r\nrecordtime=12.03.2013 10:00\r\n"
                             u"[price]\r\nquota=-5\r\nmonthlypay=30,5\r\n"));
  EXPECT_EQ(a.Download, 123456789.5);
  EXPECT_EQ(a.Upload, 42);
  EXPECT_EQ(a.Month, u"Mart");
  EXPECT_EQ(a.DisplayName, u"Ay\u015Fe \u0130nce");
  EXPECT_EQ(a.RecordTime, u"12.03.2013 10:00");
  EXPECT_EQ(a.Quota, 4294967296.0);
  EXPECT_EQ(a.MonthlyPay, 26.81);  // unreadable: the default

  TAccountFile zero(AccountFile("zero.ini", u"[price]\r\nquota=0\r\n"));
  EXPECT_EQ(zero.Quota, 4294967296.0);
  TAccountFile big(AccountFile("big.ini", u"[price]\r\nquota=10737418240\r\n"));
  EXPECT_EQ(big.Quota, 10737418240.0);
}

TEST(AccountRecord, UpdateFileWritesFieldsInOrderAndReloads) {
  const std::u16string file = AccountFile("update.ini", u"[extra]\r\nkeep=1\r\n");
  {
    TAccountFile a(file);
    a.Download = 1234.5;
    a.DisplayName = u"line1\r\nline2";
    a.UpdateFile();
  }
  TWMemIniFile raw(file);
  TWStringList lines;
  raw.ReadSections(lines);
  EXPECT_EQ(lines.GetText(), u"extra\r\naccount\r\nupdate\r\nprice\r\n");
  raw.ReadSectionValues(u"price", lines);
  EXPECT_EQ(lines.GetText(),
            u"quota=4294967296\r\nmonthlypay=26.81\r\npaypermb=0.009248\r\nmaxpay=45.31\r\npaypercent=25\r\n"
            u"downloadspeed=1024\r\nuploadspeed=256\r\nstaticip=0\r\n");
  raw.ReadSectionValues(u"account", lines);
  EXPECT_EQ(lines.GetText(), u"hash=\r\nlastupdate=-1\r\n");

  TAccountFile back(file);
  EXPECT_EQ(back.Download, 1234.5);
  EXPECT_EQ(back.DisplayName, u"line1\r\nline2");
  EXPECT_EQ(back.ReadString(u"extra", u"keep", u""), u"1");
}

TEST(AccountRecord, UpdateFileWithoutNameDoesNothing) {
  TAccountFile a(u"");
  a.Download = 5;
  EXPECT_NO_THROW(a.UpdateFile());
  EXPECT_EQ(a.SectionCount(), 0);
}

TEST(Credentials, RoundTripAndKeyReuseAfter96Bytes) {
  const TCredentials c = DecodeCredentials(EncodeCredentials("user\xFD\r\npass\r\nword"));
  EXPECT_EQ(c.userName, "user\xFD");
  EXPECT_EQ(c.password, "pass\r\nword");  // split at the first CR LF only

  // Byte 96 is scrambled with key byte 0 again: two plain forms that differ
  // only there differ in the scrambled bytes by exactly that XOR.
  const std::string plain(100, 'a');
  const std::u16string hash = EncodeCredentials(plain);
  std::string ascii(hash.begin(), hash.end());
  EXPECT_EQ(ascii.find('\r'), std::string::npos);  // one line even past 57 bytes
  const std::string scrambled = Base64Decode(ascii);
  ASSERT_EQ(scrambled.size(), 100u);
  for (std::size_t i = 0; i < scrambled.size(); ++i) {
    EXPECT_EQ(static_cast<unsigned char>(scrambled[i]), 'a' ^ kCredentialsKey[i % 96]) << i;
  }
  EXPECT_EQ(scrambled[96], scrambled[0]);
}

TEST(Credentials, MissingBreakOrGarbageGivesNoCredentials) {
  const TCredentials noBreak = DecodeCredentials(EncodeCredentials("justuser"));
  EXPECT_EQ(noBreak.userName, "");
  EXPECT_EQ(noBreak.password, "");
  const TCredentials empty = DecodeCredentials(u"");
  EXPECT_EQ(empty.userName, "");
  const TCredentials junk = DecodeCredentials(u"\u0130\u0131!!");
  EXPECT_EQ(junk.userName, "");
}

}  // namespace
}  // namespace orvix
