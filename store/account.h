// The account record: account.ini read into typed fields.
//
// account.ini is written by the parent application; this program reads it
// (the quota query takes the credentials and the previous totals from it)
// and never writes it on its own. UpdateFile exists for the maintainer tool
// and tests.
//
// Keys (section/key, default):
//   account/hash ""                 stored credentials (see DecodeCredentials)
//   account/lastupdate -1
//   update/download 0, update/upload 0      byte totals of the last update
//   update/month, year, displayname, recordtime ""
//   price/quota 4294967296 (also for 0 or less), monthlypay 26.81,
//   paypermb 0.009248, maxpay 45.31, paypercent 25, downloadspeed 1024,
//   uploadspeed 256, staticip 0
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "store/ini_file.h"

namespace orvix {

class TAccountFile : public TWMemIniFile {
 public:
  // Loads the file at once (see TWMemIniFile), then the fields.
  explicit TAccountFile(std::u16string fileName);

  const char* ClassName() const override { return "TAccountFile"; }

  // The store, then every field in the documented order.
  void LoadValues() override;
  // Writes the fields into the store, then the store to the file. Does
  // nothing when the record has no file name.
  void UpdateFile() override;

  std::u16string Hash;
  double Download = 0;
  double Upload = 0;
  std::u16string Month;
  std::u16string Year;
  std::u16string DisplayName;
  double DownloadSpeed = 1024;
  double PayPercent = 25;
  double MonthlyPay = 26.81;
  double UploadSpeed = 256;
  double StaticIp = 0;
  double PayPerMb = 0.009248;
  double MaxPay = 45.31;
  double Quota = 4294967296.0;
  std::u16string RecordTime;
  double LastUpdate = -1;

 private:
  void ReadFields();
};

// Owns the process's one account record.
class TAccountManager {
 public:
  // accountFilePath: the settings folder's account.ini (the caller passes
  // the path computed at start-up). The record loads at once.
  explicit TAccountManager(std::u16string accountFilePath);

  TAccountFile& AccountFile() { return *accountFile_; }
  const TAccountFile& AccountFile() const { return *accountFile_; }

 private:
  std::unique_ptr<TAccountFile> accountFile_;
};

// Plain credentials, single-byte text in the system code page. Never log,
// print or store these; the destructor overwrites them.
struct TCredentials {
  std::string userName;
  std::string password;

  TCredentials() = default;
  TCredentials(const TCredentials&) = delete;
  TCredentials& operator=(const TCredentials&) = delete;
  TCredentials(TCredentials&&) = default;
  TCredentials& operator=(TCredentials&&) = default;
  ~TCredentials();
};

// The stored hash text: base64 of the plain form XORed with the fixed
// 96-byte key. The plain form is split at its first CR LF into user name
// and password; without CR LF both are empty (the quota query then ends
// silently).
TCredentials DecodeCredentials(std::u16string_view hash);

// The stored form of a plain byte string (for example user CR LF password):
// XOR with the key, then base64 on one line.
std::u16string EncodeCredentials(std::string_view plain);

}  // namespace orvix
