#include "app/dispatch_win.h"

#include <windows.h>

#include "app/command_line.h"
#include "app/crash_log_win.h"
#include "app/instance_win.h"
#include "app/query_win.h"
#include "app/process_state_win.h"
#include "tasks/jobs_win.h"

namespace orvix::app {

namespace {

HWND WindowArgument(const std::vector<std::string>& args) {
  // Handles travel as 32-bit numbers; a negative one is sign-extended, as
  // the system does when a 32-bit handle value widens.
  const std::int64_t value = ParseWindowArgument(Argument(args, 2));
  const auto bits = value < 0 ? static_cast<std::intptr_t>(value)
                              : static_cast<std::intptr_t>(static_cast<std::uint32_t>(value));
  return reinterpret_cast<HWND>(bits);
}

// The parent is asking for an answer only when it gave an existing window.
bool TakeParentIfWindow(const std::vector<std::string>& args) {
  HWND parent = WindowArgument(args);
  if (!parent || !::IsWindow(parent)) return false;
  ParentWindow = parent;
  PageName = PageNameArgument(args);
  return true;
}

template <typename F>
void RunJob(F&& job) {
  // Whatever escapes a job ends it; the parent learns of failures only
  // through the job's own reply, never from us.
  try {
    job();
  } catch (...) {
  }
}

}  // namespace

void Dispatch(const std::vector<std::string>& args) {
  const Job job = SelectJob(args);
  // A crash from here on names the job in its record.
  if (job != Job::kNone) NoteCrashJob(args[0]);
  switch (job) {
    case Job::kNone:
      return;
    case Job::kGetMyIp:
      if (TakeParentIfWindow(args)) RunJob([] { tasks::LookupExternalAddress(ParentWindow, InstanceWindow, PageName); });
      return;
    case Job::kTracker:
      ParentWindow = WindowArgument(args);
      PageName = PageNameArgument(args);
      RunJob([] { tasks::CountHit(tasks::HitKind::kTracker, PageName); });
      return;
    case Job::kPageCounter:
      RunJob([] { tasks::CountHit(tasks::HitKind::kPageCounter, PageName); });
      return;
    case Job::kNewUser:
      ParentWindow = WindowArgument(args);
      PageName = PageNameArgument(args);
      RunJob([] { tasks::CountHit(tasks::HitKind::kNewUser, PageName); });
      return;
    case Job::kGetVersion:
      if (TakeParentIfWindow(args)) RunJob([] { tasks::CheckVersion(ParentWindow, InstanceWindow, PageName); });
      return;
    case Job::kGetUrl:
      ParentWindow = WindowArgument(args);
      RunJob([&] { tasks::FetchUrlCommand(ParentWindow, InstanceWindow, Argument(args, 3)); });
      return;
    case Job::kMessage:
      RunJob([&] { tasks::ShowMessageCommand(Argument(args, 2), Argument(args, 3), Argument(args, 4)); });
      return;
    case Job::kQuery:
      ParentWindow = WindowArgument(args);
      RunJob(RunQuotaQuery);
      return;
    case Job::kExit:
      RunJob(CloseRunningQuery);
      return;
  }
}

}  // namespace orvix::app
