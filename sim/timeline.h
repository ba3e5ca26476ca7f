// The virtual printer's timeline: one record per call into the lower monitor table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace sim {

enum class Entry {
  OpenPort,
  StartDocPort,
  WritePort,
  ReadPort,
  EndDocPort,
  ClosePort,
  GetPrinterDataFromPort,
  SetPortTimeOuts,
};

const char* entryName(Entry entry);

struct Call {
  uint64_t seq = 0;  // process-wide order of all calls, over every port
  Entry entry = Entry::OpenPort;
  std::string port;  // the port name as opened
  DWORD time = 0;    // protocol ms (clockTickCount) at entry
  std::vector<BYTE> in;   // bytes passed in: data to write, the request of GetPrinterDataFromPort
  std::vector<BYTE> out;  // bytes handed back: data read, the device id
  DWORD count = 0;        // the count returned: written, read or returned bytes
  DWORD controlId = 0;    // GetPrinterDataFromPort
  std::string printerName;  // StartDocPort, narrowed
  DWORD jobId = 0;          // StartDocPort
  DWORD level = 0;          // StartDocPort
  COMMTIMEOUTS timeouts{};  // SetPortTimeOuts
  BOOL result = FALSE;
  DWORD lastError = 0;  // left by a failed call, 0 after success
  std::string fault;    // the fault that fired in this call, empty when none did
  bool planned = false;  // the fault was one of the plan's (FaultPlan), not a condition
};

}  // namespace sim
