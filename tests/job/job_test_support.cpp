#include "job_test_support.h"

#include "log/event_log.h"

#include "port/port_entry_points.h"
#include "platform/clock.h"
#include "tests/support/test_files.h"

void JobTest::TearDown() {
  PortTest::TearDown();
  trace_.reset();
}

INIPORT* JobTest::openPort(const std::string& portName) {
  printer(portName).reset();
  INIPORT* pIniPort = open(portName, sim::lowerMonitor(), kPrinterName);
  if (pIniPort == nullptr) {
    ADD_FAILURE() << "the open of " << portName << " failed with " << GetLastError();
    return nullptr;
  }
  if (pIniPort->settings.PortType == PORT_TYPE_USB && (pIniPort->flags & PP_RUN_THREAD) && HeartbeatOn) {
    for (int i = 0; i < 2000 && !pIniPort->link.goodCommWithPrinter; ++i) clockSleep(10);
  }
  return pIniPort;
}

BOOL JobTest::startDoc(INIPORT* pIniPort, DWORD jobId, LPCSTR printerName, DWORD level, bool withDocInfo) {
  WideString name = printerName != nullptr ? widen(printerName) : WideString();
  WideString docName = widen("ticket job");
  DOC_INFO_1W info = {&docName[0], nullptr, nullptr};
  return table()->Monitor.pfnStartDocPort(pIniPort, printerName != nullptr ? &name[0] : nullptr, jobId, level,
                                          withDocInfo ? reinterpret_cast<LPBYTE>(&info) : nullptr);
}

BOOL JobTest::write(INIPORT* pIniPort, const Bytes& data, DWORD* written) {
  Bytes copy = data;
  return table()->Monitor.pfnWritePort(pIniPort, copy.data(), static_cast<DWORD>(copy.size()), written);
}

void JobTest::writeAll(INIPORT* pIniPort, const Bytes& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD written = 0;
    ASSERT_TRUE(write(pIniPort, Bytes(data.begin() + static_cast<std::ptrdiff_t>(done), data.end()), &written));
    ASSERT_GT(written, 0u);
    done += written;
  }
}

BOOL JobTest::endDoc(INIPORT* pIniPort) { return table()->Monitor.pfnEndDocPort(pIniPort); }

BOOL JobTest::printJob(INIPORT* pIniPort, DWORD jobId, const Bytes& data) {
  EXPECT_TRUE(startDoc(pIniPort, jobId));
  writeAll(pIniPort, data);
  return endDoc(pIniPort);
}

BOOL JobTest::spoolJob(INIPORT* pIniPort, DWORD jobId, const Bytes& data,
                       const std::function<bool(int held, DWORD error)>& onHeld) {
  EXPECT_TRUE(startDoc(pIniPort, jobId));
  size_t done = 0;
  int held = 0;
  int idle = 0;
  while (done < data.size()) {
    DWORD written = 0;
    const BOOL ok = write(pIniPort, Bytes(data.begin() + static_cast<std::ptrdiff_t>(done), data.end()), &written);
    const DWORD error = GetLastError();
    done += written;
    if (ok) {
      // A call that takes nothing is tried a bounded number of times.
      if (written == 0 && ++idle > 10) break;
      continue;
    }
    if (!onHeld(++held, error)) break;
    clockSleep(1000);
  }
  return endDoc(pIniPort);
}

std::vector<DWORD> JobTest::jobsSent(DWORD command) const {
  std::vector<DWORD> ids;
  for (const sim::SpoolerRecord& r : sim::spooler().calls(sim::SpoolerCall::SetJob)) {
    if (r.command == command) ids.push_back(r.jobId);
  }
  return ids;
}

size_t JobTest::vendorRequests(INIPORT* pIniPort, BYTE code) {
  size_t n = 0;
  for (const Bytes& request : printerOf(pIniPort).vendorRequests()) n += request.size() == 8 && request[0] == code;
  return n;
}

std::vector<DWORD> JobTest::writeSizes(INIPORT* pIniPort) {
  std::vector<DWORD> sizes;
  for (const sim::Call& call : printerOf(pIniPort).calls(sim::Entry::WritePort)) {
    sizes.push_back(static_cast<DWORD>(call.in.size()));
  }
  return sizes;
}

std::string JobTest::logFile(INIPORT* pIniPort) {
  const std::string path = logPath(pIniPort);
  return path.empty() ? std::string() : readLogFile(path);
}

void JobTest::clearLog(INIPORT* pIniPort) {
  const std::string path = logPath(pIniPort);
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(deleteLogFile(path)) << path;
}

void JobTest::expectIdle(INIPORT* pIniPort) {
  EXPECT_EQ(pIniPort->flags & PP_IN_DOC, 0u);
  EXPECT_EQ(pIniPort->status.printerState, PRINTER_STATE_HEARTBEAT);
  EXPECT_FALSE(pIniPort->doc.AbortDoc.load());
  EXPECT_EQ(clockWait(pIniPort->status.heartbeatRun, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  // PortFree is an auto-reset event: taking it proves it was free; it is given back.
  EXPECT_EQ(clockWait(pIniPort->PortFree, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  SetEvent(pIniPort->PortFree);
}

TraceCapture& JobTest::trace() {
  if (!trace_) {
    setting("EnableDiags", DIAG_INFO | DIAG_ERRORS);
    trace_.reset(new TraceCapture(DIAG_INFO | DIAG_ERRORS));
  }
  return *trace_;
}

std::string lineWith(const std::string& log, const std::string& text) {
  const size_t at = log.find(text);
  if (at == std::string::npos) return std::string();
  const size_t start = log.rfind('\n', at);
  const size_t from = start == std::string::npos ? 0 : start + 1;
  const size_t end = log.find('\n', at);
  return log.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

Bytes withEndOfJobRequest(const Bytes& job) {
  Bytes bytes = job;
  bytes.insert(bytes.end(), {ESC, 'I', 'e'});
  return bytes;
}

Bytes plainData(size_t n, BYTE seed) {
  Bytes data(n);
  for (size_t i = 0; i < n; ++i) {
    data[i] = static_cast<BYTE>((i * 7 + seed) % 251);
    if (data[i] == ESC) data[i] = 'A';
  }
  return data;
}

Bytes ticket(BYTE seed) {
  Bytes data = {ESC, 'L', 1, 2, ESC, 'd', 6, 0, seed, ESC, 'e', ESC, 'e', seed};
  const Bytes text = plainData(40, seed);
  data.insert(data.end(), text.begin(), text.end());
  data.insert(data.end(), {ESC, 'e'});
  return data;
}
