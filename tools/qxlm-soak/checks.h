// The invariants, checked once every port of a run is closed, over what the run
// recorded, what the virtual printers recorded and what the spooler was told.
#pragma once

#include <string>
#include <vector>

#include "record.h"
#include "scenario.h"
#include "sim/printer.h"
#include "sim/recording_spooler.h"

namespace soak {

struct CheckInput {
  const Scenario* scenario = nullptr;
  Record* record = nullptr;
  DWORD startTick = 0;  // the run's time 0 on the protocol clock
  std::vector<std::vector<sim::Call>> calls;  // per port, in order
  std::vector<std::vector<sim::Document>> documents;  // per port
  std::vector<sim::SpoolerRecord> spooler;
  std::vector<std::string> logs;  // per port: the content of its event log file at the end
  std::vector<std::string> systemEvents;  // the system's event log (the stand-in's records) at the end

  DWORD runTime(DWORD tick) const { return tick - startTick; }
};

// Bytes at most once, in order, on their own port; reported printed exactly when
// complete; a record for every job not printed; page ends told once and after
// their ESC e.
void checkJobs(const CheckInput& in);
// Nothing foreign between the start and the end of a firmware transfer.
void checkFlash(const CheckInput& in);
// The port status follows a steady printer condition within a few heartbeats.
void checkStatus(const CheckInput& in);
// Every log line whole and well formed.
void checkLog(const CheckInput& in);

// Error lines of the event log (the codes of printer conditions and failures). In
// low-paper busy mode the printer stops for low paper, which the port shows as an
// error: its line counts too.
bool isErrorLine(const std::string& line, bool lowPaperStops);

// A printer's call as the breach report shows it.
std::string describeCall(const sim::Call& call);

}  // namespace soak
