#include "store/account.h"

#include "text/base64.h"
#include "store/credentials_key.h"
#include "text/platform.h"
#include "text/text_utils.h"

namespace orvix {

namespace {

constexpr std::u16string_view kAccount = u"account";
constexpr std::u16string_view kUpdate = u"update";
constexpr std::u16string_view kPrice = u"price";
// 2^32 bytes exactly, not the decimal 4000000000.
constexpr double kDefaultQuota = 4294967296.0;

std::string ApplyKey(std::string_view bytes) {
  std::string out(bytes);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^ kCredentialsKey[i % kCredentialsKey.size()]);
  }
  return out;
}

}  // namespace

// ---- TAccountFile ---------------------------------------------------------

TAccountFile::TAccountFile(std::u16string fileName) : TWMemIniFile(std::move(fileName)) {
  // The base constructor has loaded the store; a virtual call from there
  // cannot reach this class, so the fields are read here.
  ReadFields();
}

void TAccountFile::LoadValues() {
  TWMemIniFile::LoadValues();
  ReadFields();
}

void TAccountFile::ReadFields() {
  Hash = ReadString(kAccount, u"hash", u"");
  LastUpdate = ReadFloat(kAccount, u"lastupdate", -1);
  Download = ReadFloat(kUpdate, u"download", 0);
  Upload = ReadFloat(kUpdate, u"upload", 0);
  Month = ReadString(kUpdate, u"month", u"");
  Year = ReadString(kUpdate, u"year", u"");
  DisplayName = ReadString(kUpdate, u"displayname", u"");
  RecordTime = ReadString(kUpdate, u"recordtime", u"");
  Quota = ReadFloat(kPrice, u"quota", kDefaultQuota);
  if (Quota <= 0) Quota = kDefaultQuota;
  MonthlyPay = ReadFloat(kPrice, u"monthlypay", 26.81);
  PayPerMb = ReadFloat(kPrice, u"paypermb", 0.009248);
  MaxPay = ReadFloat(kPrice, u"maxpay", 45.31);
  PayPercent = ReadFloat(kPrice, u"paypercent", 25);
  DownloadSpeed = ReadFloat(kPrice, u"downloadspeed", 1024);
  UploadSpeed = ReadFloat(kPrice, u"uploadspeed", 256);
  StaticIp = ReadFloat(kPrice, u"staticip", 0);
}

void TAccountFile::UpdateFile() {
  if (FileName().empty()) return;
  WriteString(kAccount, u"hash", Hash);
  WriteFloat(kAccount, u"lastupdate", LastUpdate);
  WriteFloat(kUpdate, u"download", Download);
  WriteFloat(kUpdate, u"upload", Upload);
  WriteString(kUpdate, u"month", Month);
  WriteString(kUpdate, u"year", Year);
  WriteString(kUpdate, u"displayname", DisplayName);
  WriteString(kUpdate, u"recordtime", RecordTime);
  WriteFloat(kPrice, u"quota", Quota);
  WriteFloat(kPrice, u"monthlypay", MonthlyPay);
  WriteFloat(kPrice, u"paypermb", PayPerMb);
  WriteFloat(kPrice, u"maxpay", MaxPay);
  WriteFloat(kPrice, u"paypercent", PayPercent);
  WriteFloat(kPrice, u"downloadspeed", DownloadSpeed);
  WriteFloat(kPrice, u"uploadspeed", UploadSpeed);
  WriteFloat(kPrice, u"staticip", StaticIp);
  TWMemIniFile::UpdateFile();
}

// ---- TAccountManager ------------------------------------------------------

TAccountManager::TAccountManager(std::u16string accountFilePath)
    : accountFile_(std::make_unique<TAccountFile>(std::move(accountFilePath))) {}

// ---- credentials ----------------------------------------------------------

TCredentials::~TCredentials() {
  WipeText(userName);
  WipeText(password);
}

TCredentials DecodeCredentials(std::u16string_view hash) {
  // The stored text is base64, plain ASCII in any code page.
  std::string encoded;
  encoded.reserve(hash.size());
  for (const char16_t c : hash) encoded += c < 0x80 ? static_cast<char>(c) : '?';
  std::string plain = ApplyKey(Base64Decode(encoded));
  TCredentials credentials;
  const auto split = plain.find("\r\n");
  if (split != std::string::npos) {
    credentials.userName = plain.substr(0, split);
    credentials.password = plain.substr(split + 2);
  }
  WipeText(plain);
  return credentials;
}

std::u16string EncodeCredentials(std::string_view plain) {
  std::string scrambled = ApplyKey(plain);
  const std::string encoded = Base64Encode(scrambled);
  WipeText(scrambled);
  std::u16string out;
  out.reserve(encoded.size());
  // Base64Encode breaks lines for mail-style output; the stored value is one line.
  for (const char c : encoded) {
    if (c != '\r' && c != '\n') out += static_cast<char16_t>(c);
  }
  return out;
}

}  // namespace orvix
