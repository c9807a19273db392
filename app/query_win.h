// -query: the quota query. The process's share of it (the single-instance
// test and the hidden window) is here; the query itself is in quota/.
#pragma once

namespace orvix::app {

// Runs the quota query for ParentWindow; returns when its dialog has closed
// (at once when there are no credentials or another query is running).
void RunQuotaQuery();

}  // namespace orvix::app
