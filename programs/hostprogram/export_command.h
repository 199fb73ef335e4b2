// The export command: the batch file and the options read into the host's export, the run
// through the registered module, its report and its exit code.
#pragma once

#include <ostream>

#include "hostprogram/command_line.h"

namespace hostprogram {

// Throws UsageError, InputError or HostError when the run cannot start.
int ExportCommand(const Arguments& arguments, std::ostream& out, std::ostream& err);

}  // namespace hostprogram
