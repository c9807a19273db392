#include "app/query_win.h"

#include "app/instance_win.h"
#include "app/process_state_win.h"
#include "app/settings_paths.h"
#include "quota/quota_job_win.h"

namespace orvix::app {

void RunQuotaQuery() {
  // Declared first, so the account record is freed last, after the mutex.
  TQuotaJob job(ParentWindow, AccountFilePath(), ConfigFilePath());
  if (!job.Prepare()) return;

  const TSingleInstance instance;
  if (!instance.IsFirst()) return;  // another query is running: nothing to show
  const TInstanceWindow window;
  if (!window) return;
  job.RunDialog(window.get());
}

}  // namespace orvix::app
