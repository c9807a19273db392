// The jobs the dispatcher runs, one per switch. Each reads what it needs
// from the process state (ParentWindow, PageName) and its own arguments,
// reports only through its own channel, and may throw: the dispatcher ends
// a job that throws, silently.
#pragma once

#include <string>

namespace orvix::app {

// -query: the quota query with its dialog.
void RunQuotaQuery();
// -getmyip: replies with tag 15 to ParentWindow.
void LookupExternalAddress();
// -getversion: replies with tag 16 to ParentWindow.
void CheckVersion();

// -tracker, -sayyac, -newuser: one counter hit each.
enum class HitKind { kTracker, kPageCounter, kNewUser };
void CountHit(HitKind kind);

// -message caption text type: a message box with no owner.
void ShowMessageCommand(const std::string& caption, const std::string& text, const std::string& type);
// -geturl parent url: replies with tag 0 or -1 to ParentWindow.
void FetchUrlCommand(const std::string& url);

}  // namespace orvix::app
