// The quota dialog: the state machine of the query. Each portal step runs on
// the worker thread; its completion message lands in the dialog procedure,
// which starts the next step. The user reads (or hears) the security code,
// types it and logs in; the transfer page ends in the report.
#pragma once

#include <windows.h>

#include <string>

#include "net/parent_protocol.h"
#include "quota/report.h"
#include "store/account.h"

namespace orvix {

// What the quota start-up prepared for the dialog: the portal credentials,
// the alert settings (8-bit file names) and the totals stored in account.ini.
struct QuotaSettings {
  TCredentials credentials;
  bool querySound = true;
  std::string okSound = "receive.wav";
  std::string failSound = "error.wav";
  StoredTotals stored;
};

// The quota dialog while it exists; null otherwise. The hidden window
// forwards the parent's requests to it.
extern HWND QuotaDialog;

// Shows dialog 101 modally, owned by owner (the hidden window, which the
// parent is told about). Replies go to parent while it is a window. Returns
// the dialog's result: 2 when the user or the parent closed it, -1 when it
// could not be shown.
INT_PTR RunQuotaDialog(HWND owner, HWND parent, const QuotaSettings& settings);

}  // namespace orvix
