// Faults of the virtual printer, planned like a fault-injection test harness does:
// the Nth call of one kind (counted from when the plan is added) fails, once or from
// then on, with a chosen Win32 error — or returns 0 bytes, or writes short, or takes
// part of a write and then fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace sim {

struct Fault {
  enum class Op { Read, Write, Open, StartDoc, VendorRequest, DeviceIdQuery };
  enum class Kind {
    Error,       // FALSE with the error as last error
    ZeroBytes,   // reads: TRUE with 0 bytes
    ShortWrite,  // writes: TRUE with at most `bytes` bytes written
    PartWrite,   // writes: at most `bytes` bytes taken, then FALSE with the error
  };

  Op op = Op::Read;
  Kind kind = Kind::Error;
  unsigned nth = 1;         // the first call that fails, 1 = the next one
  bool persistent = false;  // also every later call of the kind
  DWORD error = ERROR_GEN_FAILURE;
  DWORD bytes = 0;          // ShortWrite, PartWrite: bytes taken

  static Fault failRead(unsigned nth, DWORD error, bool persistent = false);
  static Fault zeroRead(unsigned nth, bool persistent = false);
  static Fault failWrite(unsigned nth, DWORD error, bool persistent = false);
  static Fault shortWrite(unsigned nth, DWORD bytesTaken, bool persistent = false);
  static Fault partWrite(unsigned nth, DWORD bytesTaken, DWORD error, bool persistent = false);
  static Fault failOpen(DWORD error, bool persistent = false);
  static Fault failStartDoc(DWORD error, bool persistent = false);
  static Fault failVendorRequest(unsigned nth, DWORD error, bool persistent = false);
  static Fault failDeviceIdQuery(DWORD error, bool persistent = false);

  // How the fault shows in the timeline, e.g. "read #3: error 23".
  std::string describe() const;
};

// The faults planned on one printer. Not thread-safe: the printer's lock guards it.
class FaultPlan {
 public:
  void add(const Fault& fault);
  void clear();

  // Counts one call of the kind and returns the fault that fires on it, if any
  // (the first planned one when several do).
  std::optional<Fault> next(Fault::Op op);

 private:
  struct Planned {
    Fault fault;
    unsigned seen = 0;  // calls of its kind since it was added
    bool spent = false;
  };
  std::vector<Planned> planned_;
};

}  // namespace sim
