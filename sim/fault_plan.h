// Faults of the virtual printer, planned like a fault-injection test harness does:
// the Nth call of one kind (counted from when the plan is added) fails, once or from
// then on, with a chosen Win32 error — or returns 0 bytes, or writes short, or takes
// part of a write and then fails, or returns a reply cut short or garbage in its
// place. A fault may also take a while before it comes back, as a call that ends in
// a time-out does.
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
    CutRead,     // reads: TRUE with at most `bytes` bytes of the reply; the rest is lost
    GarbageRead, // reads: TRUE with `data` instead of the reply, which is lost
  };

  Op op = Op::Read;
  Kind kind = Kind::Error;
  unsigned nth = 1;         // the first call that fails, 1 = the next one
  bool persistent = false;  // also every later call of the kind
  unsigned times = 1;       // not persistent: the calls nth ... nth + times - 1 fail
  DWORD error = ERROR_GEN_FAILURE;
  DWORD bytes = 0;          // ShortWrite, PartWrite: bytes taken; CutRead: bytes kept
  DWORD delayMs = 0;        // protocol ms the call takes before it returns
  std::vector<BYTE> data;   // GarbageRead: what the read returns

  static Fault failRead(unsigned nth, DWORD error, bool persistent = false);
  static Fault zeroRead(unsigned nth, bool persistent = false);
  static Fault failWrite(unsigned nth, DWORD error, bool persistent = false);
  static Fault shortWrite(unsigned nth, DWORD bytesTaken, bool persistent = false);
  static Fault partWrite(unsigned nth, DWORD bytesTaken, DWORD error, bool persistent = false);
  static Fault failOpen(DWORD error, bool persistent = false);
  static Fault failStartDoc(DWORD error, bool persistent = false);
  static Fault failVendorRequest(unsigned nth, DWORD error, bool persistent = false);
  static Fault failDeviceIdQuery(DWORD error, bool persistent = false);
  // A call that waits delayMs and then fails with ERROR_TIMEOUT.
  static Fault timeOut(Op op, unsigned nth, DWORD delayMs, bool persistent = false);
  static Fault cutRead(unsigned nth, DWORD bytesKept, bool persistent = false);
  static Fault garbageRead(unsigned nth, const std::vector<BYTE>& bytes, bool persistent = false);

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

  // Whether a fault of the kind may still fire at a moment of its own: a one-shot
  // fault not yet fired, a persistent one not yet due, or a persistent one whose
  // replies vary.
  bool pending(Fault::Op op) const;
  // Whether every call of the kind fails (or reads nothing) from now on.
  bool failing(Fault::Op op) const;
  // Faults fired so far, a persistent one counted once.
  unsigned fired() const { return fired_; }

 private:
  struct Planned {
    Fault fault;
    unsigned seen = 0;  // calls of its kind since it was added
    bool spent = false;
  };
  std::vector<Planned> planned_;
  unsigned fired_ = 0;
};

}  // namespace sim
