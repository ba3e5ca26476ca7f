// The print spooler's side of one job: the monitor's function table called the way
// the spooler calls it — open the port with the lower port monitor's table, start
// the document, hand over the job's bytes piece by piece until each piece is
// taken, end the document, close the port. A write that returns FALSE puts the job
// in error: the spooler keeps the rest, pauses and writes it again, until the job
// goes on or it gives up.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace demo {

// The spooler reads a job from its spool file in pieces of this size.
const DWORD kSpoolerPieceBytes = 4096;

struct JobRun {
  bool started = false;
  bool writeRefused = false;  // a write returned FALSE: the job was held
  unsigned holds = 0;         // writes that returned FALSE
  bool cancelled = false;     // the spooler gave up on the held job
  DWORD bytesTaken = 0;       // what the monitor reported written
  BOOL ended = FALSE;         // the end of document's result
};

class SpoolerPort {
 public:
  // Opens the port through the table; ok() tells whether it worked.
  SpoolerPort(LPMONITOREX table, const std::string& portName, const std::string& printerName, MONITOR lower);
  ~SpoolerPort();
  SpoolerPort(const SpoolerPort&) = delete;
  SpoolerPort& operator=(const SpoolerPort&) = delete;

  bool ok() const { return handle_ != nullptr; }
  HANDLE handle() const { return handle_; }

  JobRun print(DWORD jobId, const std::vector<BYTE>& job);
  void close();

 private:
  LPMONITOREX table_;
  std::basic_string<WCHAR> printerName_;
  MONITOR lower_;
  HANDLE handle_ = nullptr;
};

}  // namespace demo
