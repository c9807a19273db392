// The quota query's own share of -query: the counter child, the account
// record, the credentials and alert settings, and the dialog. The process's
// share (one running query, the hidden window) is the caller's.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "quota/quota_dialog_win.h"
#include "store/account.h"

namespace orvix {

class TQuotaJob {
 public:
  // parent: the parent's window from the command line (may be no window).
  TQuotaJob(HWND parent, std::u16string accountFilePath, std::u16string configFilePath);
  TQuotaJob(const TQuotaJob&) = delete;
  TQuotaJob& operator=(const TQuotaJob&) = delete;

  // Starts the page-view counter child, loads account.ini and takes the
  // credentials, the alert settings of config.ini and the stored totals.
  // False when the user name or the password is missing: then the query
  // ends without a dialog. Throws when account.ini cannot be read.
  bool Prepare();

  // Shows the dialog owned by owner until it closes.
  void RunDialog(HWND owner);

 private:
  HWND parent_;
  std::u16string accountFilePath_;
  std::u16string configFilePath_;
  std::unique_ptr<TAccountManager> accounts_;
  QuotaSettings settings_;
};

}  // namespace orvix
