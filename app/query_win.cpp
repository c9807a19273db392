#include "app/query_win.h"

namespace orvix::app {

void RunQuotaQuery() {}

}  // namespace orvix::app
