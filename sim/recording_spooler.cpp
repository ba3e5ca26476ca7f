// The recording spooler and the platform's four spooler calls bound to it.
#include "sim/recording_spooler.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <cstring>
#include <set>

#include "platform/clock.h"
#include "platform/spooler.h"
#include "sim/text.h"

namespace sim {
namespace {

constexpr int kKinds = 5;

struct FailurePlan {
  std::deque<DWORD> once;        // errors for the next calls, in order
  std::optional<DWORD> always;   // error for every call while set
};

struct State {
  mutable std::mutex lock;
  mutable std::condition_variable changed;
  std::vector<SpoolerRecord> records;
  std::set<HANDLE> openPrinters;
  uintptr_t nextHandle = 0;
  FailurePlan plans[kKinds];
  std::function<void(const SpoolerRecord&)> observer;
};

State& state() {
  // Left alive at exit: monitor threads may still post while the process ends.
  static State* s = new State;
  return *s;
}

int indexOf(SpoolerCall kind) { return static_cast<int>(kind); }

// The planned failure for this call, if any; the caller holds the lock.
std::optional<DWORD> takePlannedFailure(State& s, SpoolerCall kind) {
  FailurePlan& plan = s.plans[indexOf(kind)];
  if (!plan.once.empty()) {
    const DWORD error = plan.once.front();
    plan.once.pop_front();
    return error;
  }
  return plan.always;
}

// Records the call, leaves the last error as a real spooler would and wakes waiters.
BOOL finish(State& s, std::unique_lock<std::mutex>& held, SpoolerRecord record) {
  const BOOL result = record.result;
  const DWORD error = record.lastError;
  const std::function<void(const SpoolerRecord&)> observer = s.observer;
  s.records.push_back(record);
  held.unlock();
  s.changed.notify_all();
  if (observer) observer(record);
  if (!result) SetLastError(error);
  return result;
}

SpoolerRecord begin(SpoolerCall kind) {
  SpoolerRecord record;
  record.call = kind;
  record.time = clockTickCount();
  record.result = TRUE;
  return record;
}

void fail(SpoolerRecord& record, DWORD error) {
  record.result = FALSE;
  record.lastError = error;
}

}  // namespace

std::vector<SpoolerRecord> RecordingSpooler::calls() const {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  return s.records;
}

std::vector<SpoolerRecord> RecordingSpooler::calls(SpoolerCall kind) const {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  std::vector<SpoolerRecord> out;
  std::copy_if(s.records.begin(), s.records.end(), std::back_inserter(out),
               [kind](const SpoolerRecord& r) { return r.call == kind; });
  return out;
}

std::optional<PortStatus> RecordingSpooler::lastPortStatus(const std::string& portName) const {
  const std::string wanted = upperCase(portName);
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  for (auto it = s.records.rbegin(); it != s.records.rend(); ++it) {
    if (it->call == SpoolerCall::SetPort && it->result && upperCase(it->name) == wanted) {
      return PortStatus{it->status, it->severity};
    }
  }
  return std::nullopt;
}

bool RecordingSpooler::waitUntil(const std::function<bool(const std::vector<SpoolerRecord>&)>& pred,
                                 DWORD timeoutMs) const {
  State& s = state();
  const DWORD start = clockTickCount();
  std::unique_lock<std::mutex> held(s.lock);
  for (;;) {
    if (pred(s.records)) return true;
    const DWORD elapsed = clockTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    // Wake at least every 10 protocol ms to follow the clock even without new records.
    const DWORD slice = std::min<DWORD>(timeoutMs - elapsed, 10);
    const auto real = std::chrono::microseconds(static_cast<long long>(slice * clockScale() * 1000.0) + 1);
    s.changed.wait_for(held, real);
  }
}

std::vector<std::string> RecordingSpooler::jobStatusTexts(DWORD jobId) const {
  std::vector<std::string> texts;
  for (const SpoolerRecord& r : calls(SpoolerCall::SetJob)) {
    if (r.jobId == jobId && r.level == 1 && r.result) texts.push_back(r.statusText);
  }
  return texts;
}

int RecordingSpooler::openPrinterCount() const {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  return static_cast<int>(s.openPrinters.size());
}

void RecordingSpooler::failNext(SpoolerCall kind, DWORD error) {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  s.plans[indexOf(kind)].once.push_back(error);
}

void RecordingSpooler::failAlways(SpoolerCall kind, DWORD error) {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  s.plans[indexOf(kind)].always = error;
}

void RecordingSpooler::stopFailing(SpoolerCall kind) {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  s.plans[indexOf(kind)] = FailurePlan{};
}

void RecordingSpooler::setObserver(std::function<void(const SpoolerRecord&)> observer) {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  s.observer = std::move(observer);
}

void RecordingSpooler::reset() {
  State& s = state();
  std::lock_guard<std::mutex> held(s.lock);
  s.records.clear();
  s.openPrinters.clear();
  for (FailurePlan& plan : s.plans) plan = FailurePlan{};
}

RecordingSpooler& spooler() {
  static RecordingSpooler instance;
  return instance;
}

}  // namespace sim

using sim::SpoolerCall;

BOOL spoolerSetPort(LPWSTR pName, LPWSTR pPortName, DWORD Level, LPBYTE pPortInfo) {
  sim::SpoolerRecord record = sim::begin(SpoolerCall::SetPort);
  record.name = sim::narrow(pPortName);
  record.level = Level;
  // The caller's PORT_INFO_3W is copied: the pointer is only valid during the call.
  if (Level == 3 && pPortInfo != nullptr) {
    const PORT_INFO_3W* info = reinterpret_cast<const PORT_INFO_3W*>(pPortInfo);
    record.status = info->dwStatus;
    record.severity = info->dwSeverity;
    record.hasStatusText = info->pszStatus != nullptr;
  }
  sim::State& s = sim::state();
  std::unique_lock<std::mutex> held(s.lock);
  if (const auto error = sim::takePlannedFailure(s, SpoolerCall::SetPort)) {
    sim::fail(record, *error);
  } else if (pName != nullptr || pPortName == nullptr || Level != 3 || pPortInfo == nullptr) {
    sim::fail(record, Level != 3 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
  }
  return sim::finish(s, held, std::move(record));
}

BOOL spoolerOpenPrinter(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  (void)pDefault;
  sim::SpoolerRecord record = sim::begin(SpoolerCall::OpenPrinter);
  record.name = sim::narrow(pPrinterName);
  if (phPrinter != nullptr) *phPrinter = nullptr;
  sim::State& s = sim::state();
  std::unique_lock<std::mutex> held(s.lock);
  if (const auto error = sim::takePlannedFailure(s, SpoolerCall::OpenPrinter)) {
    sim::fail(record, *error);
  } else if (phPrinter == nullptr || pPrinterName == nullptr || *pPrinterName == 0) {
    sim::fail(record, ERROR_INVALID_PARAMETER);
  } else {
    // Fresh, never reused values, so a handle used after its close is caught.
    s.nextHandle += 0x10;
    record.printer = reinterpret_cast<HANDLE>(0x51000000u + s.nextHandle);
    s.openPrinters.insert(record.printer);
    *phPrinter = record.printer;
  }
  return sim::finish(s, held, std::move(record));
}

BOOL spoolerClosePrinter(HANDLE hPrinter) {
  sim::SpoolerRecord record = sim::begin(SpoolerCall::ClosePrinter);
  record.printer = hPrinter;
  sim::State& s = sim::state();
  std::unique_lock<std::mutex> held(s.lock);
  if (const auto error = sim::takePlannedFailure(s, SpoolerCall::ClosePrinter)) {
    sim::fail(record, *error);
  } else if (s.openPrinters.erase(hPrinter) == 0) {
    sim::fail(record, ERROR_INVALID_HANDLE);
  }
  return sim::finish(s, held, std::move(record));
}

BOOL spoolerGetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  sim::SpoolerRecord record = sim::begin(SpoolerCall::GetJob);
  record.printer = hPrinter;
  record.jobId = JobId;
  record.level = Level;
  sim::State& s = sim::state();
  std::unique_lock<std::mutex> held(s.lock);
  const DWORD needed = static_cast<DWORD>(sizeof(JOB_INFO_1W));
  if (pcbNeeded != nullptr) *pcbNeeded = needed;
  if (const auto error = sim::takePlannedFailure(s, SpoolerCall::GetJob)) {
    sim::fail(record, *error);
  } else if (s.openPrinters.count(hPrinter) == 0) {
    sim::fail(record, ERROR_INVALID_HANDLE);
  } else if (Level != 1) {
    sim::fail(record, ERROR_INVALID_LEVEL);
  } else if (pJob == nullptr || cbBuf < needed) {
    sim::fail(record, ERROR_INSUFFICIENT_BUFFER);
  } else {
    JOB_INFO_1W info = {};
    info.JobId = JobId;
    info.Position = 1;
    memcpy(pJob, &info, sizeof info);
  }
  return sim::finish(s, held, std::move(record));
}

BOOL spoolerSetJob(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  sim::SpoolerRecord record = sim::begin(SpoolerCall::SetJob);
  record.printer = hPrinter;
  record.jobId = JobId;
  record.level = Level;
  record.command = Command;
  const JOB_INFO_1W* info = Level == 1 ? reinterpret_cast<const JOB_INFO_1W*>(pJob) : nullptr;
  if (info != nullptr && info->pStatus != nullptr) record.statusText = sim::narrow(info->pStatus);
  sim::State& s = sim::state();
  std::unique_lock<std::mutex> held(s.lock);
  if (const auto error = sim::takePlannedFailure(s, SpoolerCall::SetJob)) {
    sim::fail(record, *error);
  } else if (s.openPrinters.count(hPrinter) == 0) {
    sim::fail(record, ERROR_INVALID_HANDLE);
  } else if (Level == 0 ? pJob != nullptr : Level != 1 || info == nullptr || info->JobId != JobId ||
                                                info->Position != JOB_POSITION_UNSPECIFIED) {
    // A level-1 change must name the job and leave its place in the queue alone.
    sim::fail(record, Level > 1 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
  }
  return sim::finish(s, held, std::move(record));
}
