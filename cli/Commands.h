// The commands of orvo-cli. Each one drives the same core operations the file
// manager's buttons start, through the session's seams, so that the phone gets
// the same bytes from both.
#pragma once

#include "cli/CliOptions.h"

namespace orvo {

// Runs the command of a parsed command line (without a usage error) and returns
// the exit status. Needs a QCoreApplication.
int RunCliCommand(const CliOptions& options);

}  // namespace orvo
