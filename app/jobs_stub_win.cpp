// Jobs that are recognised but not built yet do nothing. Whoever builds a job
// removes its stub here.
#include "app/jobs.h"

namespace orvix::app {

void RunQuotaQuery() {}

}  // namespace orvix::app
