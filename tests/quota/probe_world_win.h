// What a quota probe sets up before it shows the real dialog: GDI+, the
// HTML tables and COM, as orvix.exe has them, and settings with test
// credentials and no alert sounds.
#pragma once

#include "html/html_tables.h"
#include "quota/quota_dialog_win.h"
#include "text/win_handles.h"

namespace orvix::probe {

struct ProbeWorld {
  ProbeWorld() {
    InitHtmlTables();
    settings.credentials.userName = "ahmet.yilmaz@orvix";
    settings.credentials.password = "gizli";
    settings.querySound = false;
  }

  const win::GdiplusScope gdiplus;
  const win::ComScope com;
  QuotaSettings settings;
};

}  // namespace orvix::probe
