// Runs the one job the command line selects.
#pragma once

#include <string>
#include <vector>

namespace orvix::app {

// args: the words of the command line without the program name. Sets
// ParentWindow and PageName for the selected job and runs it; a job that
// throws ends there, silently. Returns when the job is done.
void Dispatch(const std::vector<std::string>& args);

}  // namespace orvix::app
