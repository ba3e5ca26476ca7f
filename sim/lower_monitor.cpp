// The lower monitor table: port handles, the printers behind port names, and the
// eight entries that lead from a handle to its printer.
#include "sim/lower_monitor.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "sim/text.h"

namespace sim {
namespace {

// A lower port handle; only handles in the live set are ever followed.
struct LowerPort {
  Printer* printer;
};

struct Registry {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<Printer>> printers;  // by upper-case port name
  std::set<LowerPort*> ports;
};

Registry& registry() {
  // Left alive at exit: monitor threads may still call in while the process ends.
  static Registry* r = new Registry;
  return *r;
}

Printer* printerOf(HANDLE hPort) {
  Registry& r = registry();
  std::lock_guard<std::mutex> held(r.lock);
  auto it = r.ports.find(static_cast<LowerPort*>(hPort));
  return it == r.ports.end() ? nullptr : (*it)->printer;
}

}  // namespace

struct PortEntries {
  static BOOL WINAPI OpenPort(LPWSTR pName, PHANDLE pHandle) {
    if (pName == nullptr || *pName == 0 || pHandle == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    Printer& p = printer(pName);
    if (!p.openPort()) return FALSE;
    auto* port = new LowerPort{&p};
    Registry& r = registry();
    {
      std::lock_guard<std::mutex> held(r.lock);
      r.ports.insert(port);
    }
    *pHandle = port;
    return TRUE;
  }

  static BOOL WINAPI StartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE) {
    Printer* p = printerOf(hPort);
    return p ? p->startDocPort(pPrinterName, JobId, Level) : invalidHandle();
  }

  static BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
    Printer* p = printerOf(hPort);
    return p ? p->writePort(pBuffer, cbBuf, pcbWritten) : invalidHandle();
  }

  static BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
    Printer* p = printerOf(hPort);
    return p ? p->readPort(pBuffer, cbBuffer, pcbRead) : invalidHandle();
  }

  static BOOL WINAPI EndDocPort(HANDLE hPort) {
    Printer* p = printerOf(hPort);
    return p ? p->endDocPort() : invalidHandle();
  }

  static BOOL WINAPI ClosePort(HANDLE hPort) {
    Registry& r = registry();
    LowerPort* port = static_cast<LowerPort*>(hPort);
    {
      std::lock_guard<std::mutex> held(r.lock);
      if (r.ports.erase(port) == 0) return invalidHandle();
    }
    Printer* p = port->printer;
    delete port;
    return p->closePort();
  }

  static BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR, LPWSTR lpInBuffer,
                                            DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                            LPDWORD lpcbReturned) {
    Printer* p = printerOf(hPort);
    return p ? p->getPrinterDataFromPort(ControlID, lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer, lpcbReturned)
             : invalidHandle();
  }

  static BOOL WINAPI SetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD) {
    Printer* p = printerOf(hPort);
    return p ? p->setPortTimeOuts(lpCTO) : invalidHandle();
  }

  static BOOL invalidHandle() {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
};

MONITOR lowerMonitor() {
  MONITOR table{};
  table.pfnOpenPort = &PortEntries::OpenPort;
  table.pfnStartDocPort = &PortEntries::StartDocPort;
  table.pfnWritePort = &PortEntries::WritePort;
  table.pfnReadPort = &PortEntries::ReadPort;
  table.pfnEndDocPort = &PortEntries::EndDocPort;
  table.pfnClosePort = &PortEntries::ClosePort;
  table.pfnGetPrinterDataFromPort = &PortEntries::GetPrinterDataFromPort;
  table.pfnSetPortTimeOuts = &PortEntries::SetPortTimeOuts;
  return table;
}

MONITOR lowerMonitorWithout(Entry entry) {
  MONITOR table = lowerMonitor();
  switch (entry) {
    case Entry::OpenPort: table.pfnOpenPort = nullptr; break;
    case Entry::StartDocPort: table.pfnStartDocPort = nullptr; break;
    case Entry::WritePort: table.pfnWritePort = nullptr; break;
    case Entry::ReadPort: table.pfnReadPort = nullptr; break;
    case Entry::EndDocPort: table.pfnEndDocPort = nullptr; break;
    case Entry::ClosePort: table.pfnClosePort = nullptr; break;
    case Entry::GetPrinterDataFromPort: table.pfnGetPrinterDataFromPort = nullptr; break;
    case Entry::SetPortTimeOuts: table.pfnSetPortTimeOuts = nullptr; break;
  }
  return table;
}

Printer& printer(const std::string& portName) {
  Registry& r = registry();
  std::lock_guard<std::mutex> held(r.lock);
  std::unique_ptr<Printer>& slot = r.printers[upperCase(portName)];
  if (!slot) slot = std::make_unique<Printer>(portName);
  return *slot;
}

Printer& printer(LPCWSTR portName) { return printer(narrow(portName)); }

}  // namespace sim
