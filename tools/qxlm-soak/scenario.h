// One soak run as a seed draws it: the monitor's settings, the ports, the firmware
// files, and every event of the run with the protocol time it is due at. The run
// carries the events out (run.h); a shrunk replay keeps some of them.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "sim/fault_plan.h"

namespace soak {

enum class Link { Usb, Parallel, Serial, File };

struct PortPlan {
  std::string name;         // as the spooler names it: USB001, LPT1:, COM1:, FILE:
  std::string printerName;  // the two ports of the pooled printer share one
  Link link = Link::Usb;
};

// The registry values the run starts with.
struct MonitorSetup {
  DWORD enableHeartBeat = 1;
  DWORD heartBeatRate = 5000;
  DWORD usbPacketSize = 4096;
  DWORD eojEjectSendLastPage = 1;
  DWORD usbAbortOnWriteTimeout = 1;
  DWORD lpMode = 0;
  DWORD usbWdGlobalEnable = 1;
  DWORD drwEnable = 1;     // 0 (the default) in some runs: the job checks must not need the log
  DWORD drwDebugMask = 1;  // always with the error class when the log is on
};

// A firmware file the pipe clients may name. Files that do not exist are named too.
struct Firmware {
  std::string fileName;
  bool exists = true;
  std::vector<BYTE> bytes;
};

enum class Step {
  // the spooler
  Open,
  Close,
  Job,
  MemoryQuery,
  ForeignRead,  // a second thread of the spooler's reads the port
  // a pipe client
  Request,
  // the printer and its lower port
  Fault,      // a planned fault of the lower port (sim::Fault)
  Condition,  // status bits that hold for a while
  Silent,     // no answers for a while
  Restart,    // the printer is switched off and on again
  BusyAfterPage,
};

struct JobPlan {
  DWORD id = 0;
  uint64_t dataSeed = 0;
  DWORD size = 0;
  DWORD chunk = 0;     // the spooler's buffer size
  DWORD cancelAt = 0;  // the spooler stops handing data over here (size: never)
  DWORD patienceMs = 0;  // how long the user lets a job stand in error before cancelling it
  bool restart = false;  // the spooler restarts the job once it ended: all of it again
  bool closeInDoc = false;  // at cancelAt the port is closed with the document open
};

struct RequestPlan {
  BYTE code = 0;
  std::vector<BYTE> payload;  // for a flash request the firmware path is added at run time
  int firmware = -1;          // index into Scenario::firmware for a flash request
  bool badFrame = false;      // the packet's checksum is wrong
  bool vanish = false;        // the client sends and goes without reading the answer
  bool hangUp = false;        // the client closes its connection after the answer
  DWORD limitMs = 0;          // how long the client waits for the answer (protocol ms)
  bool ordinary = false;      // sent as a local user who is no administrator
};

// The heartbeat rate an ordinary user's requests ask for, and no administrator's.
const DWORD kOrdinaryRate = 4321;

struct PrinterPlan {
  sim::Fault fault;
  BYTE status1 = 0;  // Condition
  BYTE status2 = 0;
  unsigned afterPages = 0;
  DWORD afterMs = 0;
  DWORD forMs = 0;  // Fault: a persistent fault is cleared after forMs; Condition, Silent, Restart
  DWORD busyMs = 0;  // BusyAfterPage
  std::string what;  // the fault as the trace names it
};

struct Event {
  unsigned id = 0;
  DWORD at = 0;  // protocol ms after the run's start
  unsigned port = 0;
  Step step = Step::Open;
  JobPlan job;
  RequestPlan request;
  PrinterPlan printer;

  std::string describe() const;
};

struct Scenario {
  uint64_t seed = 0;
  DWORD length = 0;  // protocol ms; the last port closes after it
  MonitorSetup setup;
  std::vector<PortPlan> ports;
  std::vector<Firmware> firmware;
  std::vector<Event> events;  // in time order
};

Scenario drawScenario(uint64_t seed);

// Opens and closes stay, so that every replay opens and closes the same ports.
bool isStructural(const Event& event);

// The scenario with only the structural events and those listed.
Scenario keepOnly(const Scenario& scenario, const std::set<unsigned>& ids);

const char* linkName(Link link);

}  // namespace soak
