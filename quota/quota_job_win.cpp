#include "quota/quota_job_win.h"

#include "net/folders_win.h"
#include "net/process_win.h"
#include "store/ini_file.h"
#include "text/platform.h"

namespace orvix {

namespace {

// An alert sound named in config.ini, or the fallback (looked up in the
// current folder) when the named file does not exist.
std::string AlertFile(const TWMemIniFile& config, const char16_t* key, const char* fallback) {
  const std::string named = platform::WideToAnsi(config.ReadString(u"alerts", key, platform::AnsiToWide(fallback)));
  return !named.empty() && AnsiFileExists(named) ? named : std::string(fallback);
}

}  // namespace

TQuotaJob::TQuotaJob(HWND parent, std::u16string accountFilePath, std::u16string configFilePath)
    : parent_(parent), accountFilePath_(std::move(accountFilePath)), configFilePath_(std::move(configFilePath)) {}

bool TQuotaJob::Prepare() {
  // The page-view counter, as its own process; it is not waited for. The
  // pause gives it a head start on the network.
  try {
    RunProcess("orvix.exe", "-sayyac 0", SW_SHOWNORMAL, 0);
    ::Sleep(100);
  } catch (...) {
  }

  accounts_ = std::make_unique<TAccountManager>(accountFilePath_);
  const TAccountFile& account = accounts_->AccountFile();
  TCredentials credentials = DecodeCredentials(account.Hash);
  if (credentials.userName.empty() || credentials.password.empty()) return false;
  settings_.credentials = std::move(credentials);

  // A config.ini that cannot be read leaves the defaults: the query itself
  // does not depend on it.
  try {
    const TWMemIniFile config(configFilePath_);
    settings_.querySound = config.ReadBool(u"alerts", u"query_sound", true);
    settings_.okSound = AlertFile(config, u"ok_file", "receive.wav");
    settings_.failSound = AlertFile(config, u"fail_file", "error.wav");
  } catch (...) {
  }

  settings_.stored.download = account.Download;
  settings_.stored.upload = account.Upload;
  return true;
}

void TQuotaJob::RunDialog(HWND owner) { RunQuotaDialog(owner, parent_, settings_); }

}  // namespace orvix
