#include "sim/fault_plan.h"

#include <cstdio>

namespace sim {
namespace {

Fault make(Fault::Op op, Fault::Kind kind, unsigned nth, bool persistent, DWORD error, DWORD bytes) {
  Fault f;
  f.op = op;
  f.kind = kind;
  f.nth = nth == 0 ? 1 : nth;
  f.persistent = persistent;
  f.error = error;
  f.bytes = bytes;
  return f;
}

const char* opName(Fault::Op op) {
  switch (op) {
    case Fault::Op::Read: return "read";
    case Fault::Op::Write: return "write";
    case Fault::Op::Open: return "open";
    case Fault::Op::StartDoc: return "start doc";
    case Fault::Op::VendorRequest: return "vendor request";
    case Fault::Op::DeviceIdQuery: return "device id query";
  }
  return "?";
}

}  // namespace

Fault Fault::failRead(unsigned nth, DWORD error, bool persistent) {
  return make(Op::Read, Kind::Error, nth, persistent, error, 0);
}
Fault Fault::zeroRead(unsigned nth, bool persistent) { return make(Op::Read, Kind::ZeroBytes, nth, persistent, 0, 0); }
Fault Fault::failWrite(unsigned nth, DWORD error, bool persistent) {
  return make(Op::Write, Kind::Error, nth, persistent, error, 0);
}
Fault Fault::shortWrite(unsigned nth, DWORD bytesTaken, bool persistent) {
  return make(Op::Write, Kind::ShortWrite, nth, persistent, 0, bytesTaken);
}
Fault Fault::partWrite(unsigned nth, DWORD bytesTaken, DWORD error, bool persistent) {
  return make(Op::Write, Kind::PartWrite, nth, persistent, error, bytesTaken);
}
Fault Fault::failOpen(DWORD error, bool persistent) { return make(Op::Open, Kind::Error, 1, persistent, error, 0); }
Fault Fault::failStartDoc(DWORD error, bool persistent) {
  return make(Op::StartDoc, Kind::Error, 1, persistent, error, 0);
}
Fault Fault::failVendorRequest(unsigned nth, DWORD error, bool persistent) {
  return make(Op::VendorRequest, Kind::Error, nth, persistent, error, 0);
}
Fault Fault::failDeviceIdQuery(DWORD error, bool persistent) {
  return make(Op::DeviceIdQuery, Kind::Error, 1, persistent, error, 0);
}
Fault Fault::timeOut(Op op, unsigned nth, DWORD delayMs, bool persistent) {
  Fault f = make(op, Kind::Error, nth, persistent, ERROR_TIMEOUT, 0);
  f.delayMs = delayMs;
  return f;
}
Fault Fault::cutRead(unsigned nth, DWORD bytesKept, bool persistent) {
  return make(Op::Read, Kind::CutRead, nth, persistent, 0, bytesKept);
}
Fault Fault::garbageRead(unsigned nth, const std::vector<BYTE>& bytes, bool persistent) {
  Fault f = make(Op::Read, Kind::GarbageRead, nth, persistent, 0, 0);
  f.data = bytes;
  return f;
}

std::string Fault::describe() const {
  char text[96];
  switch (kind) {
    case Kind::Error:
      std::snprintf(text, sizeof text, "%s #%u: error %u", opName(op), nth, static_cast<unsigned>(error));
      break;
    case Kind::ZeroBytes:
      std::snprintf(text, sizeof text, "%s #%u: 0 bytes", opName(op), nth);
      break;
    case Kind::ShortWrite:
      std::snprintf(text, sizeof text, "%s #%u: short, %u bytes", opName(op), nth, static_cast<unsigned>(bytes));
      break;
    case Kind::PartWrite:
      std::snprintf(text, sizeof text, "%s #%u: %u bytes, then error %u", opName(op), nth,
                    static_cast<unsigned>(bytes), static_cast<unsigned>(error));
      break;
    case Kind::CutRead:
      std::snprintf(text, sizeof text, "%s #%u: reply cut to %u bytes", opName(op), nth, static_cast<unsigned>(bytes));
      break;
    case Kind::GarbageRead:
      std::snprintf(text, sizeof text, "%s #%u: %u bytes of garbage", opName(op), nth,
                    static_cast<unsigned>(data.size()));
      break;
  }
  std::string described = text;
  if (delayMs != 0) described += " after " + std::to_string(delayMs) + " ms";
  return described;
}

void FaultPlan::add(const Fault& fault) { planned_.push_back(Planned{fault, 0, false}); }

void FaultPlan::clear() { planned_.clear(); }

std::optional<Fault> FaultPlan::next(Fault::Op op) {
  std::optional<Fault> fired;
  for (Planned& p : planned_) {
    if (p.fault.op != op || p.spent) continue;
    ++p.seen;
    const unsigned last = p.fault.nth + (p.fault.times > 1 ? p.fault.times - 1 : 0);
    const bool due = p.fault.persistent ? p.seen >= p.fault.nth : p.seen >= p.fault.nth && p.seen <= last;
    if (!due) continue;
    if (!p.fault.persistent && p.seen == last) p.spent = true;
    // One fault per call: a one-shot plan that comes due on a call another plan
    // already fails stays due and fires on the next call of its kind.
    if (!fired) {
      fired = p.fault;
      if (!p.fault.persistent || p.seen == p.fault.nth) ++fired_;
    } else if (!p.fault.persistent) {
      p.spent = false;
      --p.seen;
    }
  }
  return fired;
}

namespace {

bool steady(const Fault& f) { return f.kind == Fault::Kind::Error || f.kind == Fault::Kind::ZeroBytes; }

}  // namespace

bool FaultPlan::pending(Fault::Op op) const {
  for (const Planned& p : planned_) {
    if (p.spent || p.fault.op != op) continue;
    if (!p.fault.persistent || p.seen < p.fault.nth || !steady(p.fault)) return true;
  }
  return false;
}

bool FaultPlan::failing(Fault::Op op) const {
  for (const Planned& p : planned_) {
    if (p.fault.op == op && p.fault.persistent && p.seen >= p.fault.nth && steady(p.fault)) return true;
  }
  return false;
}

}  // namespace sim
