// The sample host program: plays the host product against the registered bank module.
//
//   brenmark_host export BATCH.csv [options]      the payment service's ExportPayments
//   brenmark_host import STATEMENT.csv [options]  the statement service's ImportStatement
//   brenmark_host generate N [options]            a synthetic batch file for trials
//
// Exit codes: 0 every payment passed (or the import succeeded), 1 some payments failed their
// checks, 2 errors (bad input, no module, a failed run, no file written).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "hostprogram/command_line.h"

namespace hostprogram {

// Runs the program on its arguments (UTF-8, the program name left out).
int RunHostProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The process's own command line, standard output and error.
int RunFromCommandLine();

}  // namespace hostprogram
