// One soak run: the monitor initialised from a fresh registry key, the scenario's
// ports opened through its MONITOREX table over the virtual printers, and four kinds
// of actor on threads of their own, each following its part of the scenario on the
// sped-up clock: the spooler of each port, a pipe client of each port, the printers'
// faults, and a sampler that watches the port status. When every port is closed the
// invariants are checked.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "bounds.h"
#include "record.h"
#include "scenario.h"
#include "sim/printer.h"
#include "trace.h"

struct INIPORT;

namespace soak {

struct RunOptions {
  double timeScale = 0.01;
  std::string firmwareDir;  // where the firmware files are written
  std::set<Check> skipped;
  bool monitorTrace = false;  // the monitor's own debug trace goes into the run's trace
  unsigned traced = 3;        // breaches shown with their trace
  DWORD traceWindowMs = 20000;  // protocol ms of trace shown before a breach
};

struct RunOutcome {
  std::vector<Breach> breaches;  // of the checks not skipped
  unsigned jobs = 0;
  unsigned pages = 0;
  unsigned requests = 0;
  unsigned faults = 0;
  uint64_t events = 0;  // the calls the printers served and the spooler records: what the checks read
  Exercised exercised;
};

// What the actors share while the run goes on.
struct PortState {
  std::mutex readLock;        // held by the second thread's read, and by the close while it takes the record
  std::mutex lock;            // held while the record is set, cleared or read by the sampler
  INIPORT* record = nullptr;  // while the port is open
  std::string logPath;
  std::atomic<bool> inDoc{false};
  std::atomic<unsigned> docEpoch{0};  // counts starts and ends of documents
  std::atomic<int> callKind{-1};      // the entry point being called, as an EntryPoint
  std::atomic<DWORD> callStart{0};
  std::atomic<int64_t> callStartReal{0};
  std::atomic<INIPORT*> closing{nullptr};  // the record while its close runs, for a hang's report
  MONITOR lower{};
};

struct RunContext {
  RunContext(const Scenario& s, const RunOptions& o) : scenario(s), options(o) {}

  const Scenario& scenario;
  const RunOptions& options;
  LPMONITOREX table = nullptr;
  Trace trace;
  Record record;
  std::vector<std::unique_ptr<PortState>> ports;
  std::atomic<bool> actorsDone{false};
  std::atomic<uint64_t> seq{0};  // orders the spooler's calls and what the spooler was told

  sim::Printer& printer(unsigned port) const;
  const std::string& portName(unsigned port) const { return scenario.ports[port].name; }
  // Sleeps until the run's protocol time `at` (at once when it has passed).
  void waitUntil(DWORD at) const;
  // Real milliseconds for protocol ones, never less than minimum.
  DWORD realMs(DWORD protocolMs, DWORD minimum) const;
};

std::string readLogFile(const std::string& path);

// The actors; each returns when its part of the scenario is done.
void runSpooler(RunContext& ctx, unsigned port);
void runReader(RunContext& ctx, unsigned port);
void closePort(RunContext& ctx, unsigned port);
void runClient(RunContext& ctx, unsigned port);
void runPrinterFaults(RunContext& ctx);
void runSampler(RunContext& ctx);

// Carries the scenario out and checks it. The monitor's code must have been attached
// to the process. A hang is reported on out and ends the process.
RunOutcome runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out);

}  // namespace soak
