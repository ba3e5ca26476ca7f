// The recording spooler: the spooler calls of platform/spooler.h for tests, tools
// and benchmarks. SetJob takes level 0 (a command) or level 1 (a JOB_INFO_1W whose
// status text is recorded); GetJob answers level 1 with the job's id and its last
// status text. Every call is recorded in order; a call of each kind can be
// made to fail, once or from then on, with a chosen last error. Thread-safe.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace sim {

enum class SpoolerCall { SetPort, OpenPrinter, ClosePrinter, SetJob, GetJob };

struct SpoolerRecord {
  SpoolerCall call = SpoolerCall::SetPort;
  DWORD time = 0;           // protocol ms (clockTickCount) when the call was made
  std::string name;         // SetPort: the port name; OpenPrinter: the printer name (both narrowed)
  DWORD level = 0;          // SetPort, SetJob
  DWORD status = 0;         // SetPort: PORT_INFO_3W.dwStatus
  DWORD severity = 0;       // SetPort: PORT_INFO_3W.dwSeverity
  bool hasStatusText = false;  // SetPort: PORT_INFO_3W.pszStatus was not NULL
  HANDLE printer = nullptr; // OpenPrinter: the handle handed out; ClosePrinter, SetJob: the handle passed
  DWORD jobId = 0;          // SetJob
  DWORD command = 0;        // SetJob
  std::string statusText;   // SetJob level 1: JOB_INFO_1W.pStatus (narrowed)
  BOOL result = FALSE;
  DWORD lastError = 0;      // the last error left by a failed call, 0 after success
};

struct PortStatus {
  DWORD status = 0;
  DWORD severity = 0;
};

class RecordingSpooler {
 public:
  // Every call so far, in order (a copy).
  std::vector<SpoolerRecord> calls() const;
  std::vector<SpoolerRecord> calls(SpoolerCall kind) const;

  // The status of the last successful SetPort for the port (compared without regard to case).
  std::optional<PortStatus> lastPortStatus(const std::string& portName) const;

  // Waits until pred holds over the records, at most timeoutMs protocol milliseconds.
  bool waitUntil(const std::function<bool(const std::vector<SpoolerRecord>&)>& pred, DWORD timeoutMs) const;

  // The status texts set on the job with SetJob level 1, in order.
  std::vector<std::string> jobStatusTexts(DWORD jobId) const;

  // Printer handles opened and not yet closed.
  int openPrinterCount() const;

  // The next call of this kind fails with the error (after any still pending).
  void failNext(SpoolerCall kind, DWORD error);
  // Every call of this kind fails with the error until stopFailing.
  void failAlways(SpoolerCall kind, DWORD error);
  void stopFailing(SpoolerCall kind);

  // Hands every record to the observer as it is made, on the calling thread and
  // outside the spooler's lock (an empty function: none). Survives reset().
  void setObserver(std::function<void(const SpoolerRecord&)> observer);

  // Forgets the records, the open handles and every planned failure.
  void reset();
};

// The one recording spooler behind the platform's spooler calls.
RecordingSpooler& spooler();

}  // namespace sim
