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

namespace hostprogram {

enum ExitCode { kExitPassed = 0, kExitSomeFailed = 1, kExitError = 2 };

// Runs the program on its arguments (UTF-8, the program name left out).
int RunHostProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The process's own command line, standard output and error.
int RunFromCommandLine();

// Whether someone can see windows here: a visible window station, and under Wine a graphics
// driver other than its null driver with a display to draw on.
bool HasDisplay();

}  // namespace hostprogram
