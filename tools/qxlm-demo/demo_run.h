// One demo run: the monitor initialised from a fresh registry key, a port opened on
// a virtual ticket printer, one job printed through it as the spooler would, and
// the judgement whether the job ended as the fault scenario expects.
#pragma once

#include "exit_codes.h"
#include "options.h"
#include "scenario.h"

namespace demo {

const int kExitExpected = tools::EXIT_OK;
const int kExitUnexpected = tools::EXIT_FAILED;
const int kExitUsage = tools::EXIT_USAGE;  // or a job file that cannot be read

struct Outcome {
  int exitCode = kExitUnexpected;
  Observed seen;
};

// The monitor's code must have been attached to the process (ProcessAttach).
Outcome runDemo(const Options& options);

}  // namespace demo
