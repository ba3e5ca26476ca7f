// The fault scenarios: how the virtual printer is scripted for each, and what a
// job must have come to for the run to count as ending as expected.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "sim/printer.h"

namespace demo {

// Pages the printer itself would count in the job.
unsigned pagesIn(const std::vector<BYTE>& job);

// Whether the scenario can happen with this port and job; a reason when not.
bool scenarioFits(const Options& options, unsigned jobPages, std::string& why);

// A fresh printer, scripted for the scenario.
void scriptPrinter(sim::Printer& printer, const Options& options, const std::vector<BYTE>& job);

struct Observed {
  bool started = false;
  bool writeRefused = false;   // the last write returned FALSE
  unsigned holds = 0;          // writes that returned FALSE (the job held)
  unsigned reportsPrinted = 0; // LAST_PAGE_EJECTED told for the job
  BOOL ended = FALSE;
  bool reportedPrinted = false;
  bool deleted = false;
  unsigned jobPages = 0;
  unsigned pagesPrinted = 0;  // of the job's own document
  size_t jobBytes = 0;
  size_t bytesAtPrinter = 0;
  bool jobBytesIntact = false;  // the printer received the job's bytes unchanged
  bool offlineShown = false;
  bool paperOutShown = false;
  bool jamShown = false;
  bool crcErrorLogged = false;  // event "0002" in the event log
};

// The run's result in plain words: what of the job came out of the printer, and
// what the spooler was told of it (which decides whether it prints the job again).
std::vector<std::string> resultLines(const Observed& seen, DWORD ticketCounter);

// True when the job ended as the scenario expects; each finding is added to notes.
bool judge(const Options& options, const Observed& seen, std::vector<std::string>& notes);

}  // namespace demo
