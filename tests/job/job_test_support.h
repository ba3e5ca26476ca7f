// The job tests' fixture: a monitor started from a fresh registry key, ports opened
// through its function table over the virtual printers, and documents driven the way
// the spooler drives them (start, writes, end) on the sped-up clock.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../ports/ports_test_support.h"
#include "log/event_log.h"
#include "port/monitor_state.h"
#include "sim/recording_spooler.h"

typedef std::vector<BYTE> Bytes;

const BYTE ESC = 0x1B;
const char kPrinterName[] = "Job Test Printer";

class JobTest : public PortTest {
 protected:
  void TearDown() override;

  // A port over a fresh virtual printer; returns once the status thread has talked
  // to the printer (unless the heartbeat is off), so vendor requests reach it.
  INIPORT* openPort(const std::string& portName);

  // The table's entries, as the spooler calls them.
  BOOL startDoc(INIPORT* pIniPort, DWORD jobId, LPCSTR printerName = kPrinterName, DWORD level = 1,
                bool withDocInfo = true);
  BOOL write(INIPORT* pIniPort, const Bytes& data, DWORD* written);
  // Hands the data over as the spooler does: what was not written is passed again.
  void writeAll(INIPORT* pIniPort, const Bytes& data);
  BOOL endDoc(INIPORT* pIniPort);
  // A whole job of the given bytes.
  BOOL printJob(INIPORT* pIniPort, DWORD jobId, const Bytes& data);
  // Plays a job as the spooler does: a write that returns FALSE keeps the rest, the
  // job is in error, and after a pause the rest is written again. onHeld sees each
  // failed write (1, 2, ...) with its last error; it returns false to cancel the job.
  // Returns what the end of the document returned.
  BOOL spoolJob(INIPORT* pIniPort, DWORD jobId, const Bytes& data,
                const std::function<bool(int held, DWORD error)>& onHeld);

  sim::Printer& printerOf(INIPORT* pIniPort) { return sim::printer(pIniPort->PortNameA); }

  // The job ids the spooler was sent with this command, in order.
  std::vector<DWORD> jobsSent(DWORD command) const;
  // Vendor requests with this code that reached the printer.
  size_t vendorRequests(INIPORT* pIniPort, BYTE code);
  // Sizes of the data writes that reached the printer's port.
  std::vector<DWORD> writeSizes(INIPORT* pIniPort);
  // The port's event log file, emptied before the test writes to it.
  std::string logFile(INIPORT* pIniPort);
  void clearLog(INIPORT* pIniPort);

  // The port is idle: no document, port free, heartbeat running.
  void expectIdle(INIPORT* pIniPort);

  // The debug trace from now to the end of the test; ports opened later keep it on.
  TraceCapture& trace();

 private:
  std::unique_ptr<TraceCapture> trace_;
};

// The line of a log that holds text, or an empty text.
std::string lineWith(const std::string& log, const std::string& text);

// The bytes a printer receives for a job: its data, then the status request the
// end of the document writes.
Bytes withEndOfJobRequest(const Bytes& job);

// Plain ticket data of n bytes that holds no escape byte.
Bytes plainData(size_t n, BYTE seed = 0);
// One ticket: a raster block (ESC d) whose data holds ESC e, then the page end.
Bytes ticket(BYTE seed);
