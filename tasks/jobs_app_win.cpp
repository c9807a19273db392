// The dispatcher's entry points of the small jobs: they take the process
// state the dispatcher has set and run the jobs with it.
#include "app/jobs.h"
#include "app/process_state_win.h"
#include "tasks/jobs_win.h"

namespace orvix::app {

void LookupExternalAddress() { tasks::LookupExternalAddress(ParentWindow, InstanceWindow, PageName); }

void CheckVersion() { tasks::CheckVersion(ParentWindow, InstanceWindow, PageName); }

void CountHit(HitKind kind) { tasks::CountHit(kind, PageName); }

void ShowMessageCommand(const std::string& caption, const std::string& text, const std::string& type) {
  tasks::ShowMessageCommand(caption, text, type);
}

void FetchUrlCommand(const std::string& url) { tasks::FetchUrlCommand(ParentWindow, InstanceWindow, url); }

}  // namespace orvix::app
