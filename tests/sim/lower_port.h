// A lower port of the virtual printer, opened through the table as the monitor does.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "sim/lower_monitor.h"

namespace simtest {

using Bytes = std::vector<BYTE>;
using WideString = std::basic_string<WCHAR>;

WideString wide(const std::string& text);
Bytes bytes(const std::string& text);
std::string text(const Bytes& bytes);

// An 8-byte vendor request: code, "1", "2", five zero bytes.
Bytes vendorRequest(BYTE code);

class LowerPort {
 public:
  // Resets the printer of this name and opens its port.
  explicit LowerPort(const std::string& name);
  ~LowerPort();
  LowerPort(const LowerPort&) = delete;
  LowerPort& operator=(const LowerPort&) = delete;

  sim::Printer& printer() { return printer_; }
  const MONITOR& table() const { return table_; }
  HANDLE handle() const { return handle_; }

  BOOL startDoc(DWORD jobId = 1);
  BOOL endDoc();
  BOOL write(const Bytes& data, DWORD* written = nullptr);
  // One read; ok receives the result, the bytes read are returned.
  Bytes read(DWORD size = 1023, BOOL* ok = nullptr);
  BOOL vendor(const Bytes& request);
  // A status vendor request and the two reads that follow it: the stale reply, then the answer.
  Bytes ask(BYTE code, Bytes* stale = nullptr);

 private:
  WideString name_;
  sim::Printer& printer_;
  MONITOR table_;
  HANDLE handle_ = nullptr;
};

}  // namespace simtest
