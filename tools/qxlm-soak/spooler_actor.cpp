// The spooler of one port: opens and closes it, prints jobs through it the way the
// spooler does (start, writes of its buffers, passing again what was not written,
// end), gives up on a job whose writes keep failing or that the monitor deleted, and
// asks for the printer's memory now and then. Every entry call is timed against its
// bound.
#include <algorithm>
#include <cstdio>

#include "log/event_log.h"
#include "platform/clock.h"
#include "port/port_record.h"
#include "run.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"
#include "ticket_data.h"

namespace soak {
namespace {

typedef std::basic_string<WCHAR> WideString;

WideString widen(const std::string& text) { return WideString(text.begin(), text.end()); }

// Calls one entry point with the port's call registered for the hang watch, and
// records a breach when it took longer than its bound.
template <typename F>
BOOL timed(RunContext& ctx, unsigned port, EntryPoint entry, F f) {
  PortState& ps = *ctx.ports[port];
  const DWORD start = ctx.trace.now();
  const int64_t startReal = realNowMs();
  ps.callStart = start;
  ps.callStartReal = startReal;
  ps.callKind = static_cast<int>(entry);
  const BOOL result = f();
  const DWORD error = GetLastError();
  ps.callKind = -1;
  const DWORD took = ctx.trace.now() - start;
  if (pastBound(took, realNowMs() - startReal, entryPointBound(entry), ctx.options.timeScale, kSlackRealMs)) {
    char text[160];
    std::snprintf(text, sizeof text, "%s took %u ms, more than its bound of %u ms", entryPointName(entry),
                  static_cast<unsigned>(took), static_cast<unsigned>(entryPointBound(entry)));
    ctx.record.addBreach(Check::Bounds, ctx.trace.now(), static_cast<int>(port), text);
  }
  SetLastError(error);
  return result;
}

void noteSpan(RunContext& ctx, unsigned port, DWORD from) {
  std::lock_guard<std::mutex> held(ctx.record.lock);
  ctx.record.opensAndCloses.push_back(PortCallSpan{port, from, ctx.trace.now()});
}

bool jobDeleted(DWORD jobId) {
  for (const sim::SpoolerRecord& r : sim::spooler().calls(sim::SpoolerCall::SetJob)) {
    if (r.jobId == jobId && r.command == JOB_CONTROL_DELETE) return true;
  }
  return false;
}

void openPort(RunContext& ctx, unsigned port) {
  PortState& ps = *ctx.ports[port];
  const PortPlan& plan = ctx.scenario.ports[port];
  WideString name = widen(plan.name);
  WideString printerName = widen(plan.printerName);
  HANDLE handle = nullptr;
  const DWORD from = ctx.trace.now();
  const BOOL ok = timed(ctx, port, EntryPoint::Open, [&] {
    return ctx.table->Monitor.pfnOpenPortEx(&name[0], &printerName[0], &handle, &ps.lower);
  });
  noteSpan(ctx, port, from);
  if (!ok) {
    ctx.trace.add(static_cast<int>(port), "spooler: open failed, error " + std::to_string(GetLastError()));
    return;
  }
  char path[LOG_PATH_SIZE] = "";
  INIPORT* record = static_cast<INIPORT*>(handle);
  BuildLogFilePath(record, path, sizeof path);
  {
    std::lock_guard<std::mutex> held(ps.lock);
    ps.record = record;
    ps.logPath = path;
  }
  ctx.trace.add(static_cast<int>(port), "spooler: port open");
}

}  // namespace

void closePort(RunContext& ctx, unsigned port) {
  PortState& ps = *ctx.ports[port];
  INIPORT* record = nullptr;
  {
    std::lock_guard<std::mutex> reading(ps.readLock);
    std::lock_guard<std::mutex> held(ps.lock);
    record = ps.record;
    ps.record = nullptr;
  }
  if (record == nullptr) return;
  ctx.trace.add(static_cast<int>(port), "spooler: closing the port");
  ps.closing = record;
  const DWORD from = ctx.trace.now();
  const BOOL ok = timed(ctx, port, EntryPoint::Close, [&] { return ctx.table->Monitor.pfnClosePort(record); });
  noteSpan(ctx, port, from);
  ps.closing = nullptr;
  ctx.trace.add(static_cast<int>(port), ok ? "spooler: port closed"
                                           : "spooler: close failed, error " + std::to_string(GetLastError()));
}

namespace {

INIPORT* openRecord(RunContext& ctx, unsigned port) {
  std::lock_guard<std::mutex> held(ctx.ports[port]->lock);
  return ctx.ports[port]->record;
}

// Starts the document as the spooler does: a start that fails is tried again after
// a pause, a few times.
bool startDocument(RunContext& ctx, unsigned port, INIPORT* record, JobRecord& job) {
  WideString printerName = widen(ctx.scenario.ports[port].printerName);
  WideString docName = widen("soak ticket job");
  DOC_INFO_1W info = {&docName[0], nullptr, nullptr};
  for (;;) {
    const BOOL ok = timed(ctx, port, EntryPoint::StartDoc, [&] {
      return ctx.table->Monitor.pfnStartDocPort(record, &printerName[0], job.plan.id, 1, reinterpret_cast<LPBYTE>(&info));
    });
    if (ok) return true;
    ctx.trace.add(static_cast<int>(port), "spooler: start of job " + std::to_string(job.plan.id) + " failed, error " +
                                              std::to_string(GetLastError()));
    if (++job.startFailures > 3) return false;
    clockSleep(1000);
  }
}

// Hands the job's data over in the spooler's buffers. A write that fails keeps the
// rest: the job stands in error, and the same rest is written again after a pause,
// until it is taken or the user's patience ends (the job is cancelled). A write
// that takes nothing without failing is tried again a bounded number of times.
void handOver(RunContext& ctx, unsigned port, INIPORT* record, JobRecord& job) {
  const JobPlan& plan = job.plan;
  const int p = static_cast<int>(port);
  sim::Printer& printer = ctx.printer(port);
  char text[160];
  DWORD offset = 0;
  unsigned idle = 0;
  DWORD inErrorSince = 0;
  bool inError = false;
  while (offset < plan.size && offset < plan.cancelAt) {
    const DWORD n = std::min(plan.chunk, plan.size - offset);
    std::vector<BYTE> buffer(job.data.begin() + offset, job.data.begin() + offset + n);
    DWORD written = 0;
    const size_t before = printer.callCount();
    const BOOL ok = timed(ctx, port, EntryPoint::Write, [&] {
      return ctx.table->Monitor.pfnWritePort(record, buffer.data(), n, &written);
    });
    const DWORD error = GetLastError();
    job.writeCalls.push_back(CallRange(before, printer.callCount()));
    if (written > n) {
      std::snprintf(text, sizeof text, "WritePort reported %u bytes written of the %u it was given",
                    static_cast<unsigned>(written), static_cast<unsigned>(n));
      ctx.record.addBreach(Check::Bytes, ctx.trace.now(), p, text);
      written = n;
    }
    offset += written;
    if (ok) {
      inError = false;
      if (written != 0) {
        idle = 0;
        continue;
      }
      // A monitor that keeps taking nothing would hold the spooler for ever.
      if (++idle >= 20) {
        ctx.trace.add(p, "spooler: the monitor took nothing 20 times in a row; the job is cancelled");
        break;
      }
      clockSleep(100);
      continue;
    }
    job.writeFailed = true;
    std::snprintf(text, sizeof text, "spooler: write of %u bytes at %u failed (%u taken), error %u; the job is in error",
                  static_cast<unsigned>(n), static_cast<unsigned>(offset - written), static_cast<unsigned>(written),
                  static_cast<unsigned>(error));
    ctx.trace.add(p, text);
    if (!inError) inErrorSince = ctx.trace.now();
    inError = true;
    if (jobDeleted(plan.id) || ctx.trace.now() - inErrorSince >= plan.patienceMs) {
      ctx.trace.add(p, "spooler: job " + std::to_string(plan.id) + " cancelled while in error");
      break;
    }
    clockSleep(1000);
  }
  job.handedOver = offset;
  job.cancelled = offset < plan.size;
}

// One attempt at the job: start, hand over, end (or a close with the document open).
void printAttempt(RunContext& ctx, unsigned port, const JobPlan& plan, unsigned attempt) {
  PortState& ps = *ctx.ports[port];
  INIPORT* record = openRecord(ctx, port);
  const int p = static_cast<int>(port);
  if (record == nullptr) return;
  sim::Printer& printer = ctx.printer(port);
  JobRecord job;
  job.plan = plan;
  job.port = port;
  job.attempt = attempt;
  job.data = ticketData(plan.dataSeed, plan.size);
  job.firstCall = printer.callCount();
  job.startAt = ctx.trace.now();
  job.startSeq = ++ctx.seq;

  ps.inDoc = true;
  ++ps.docEpoch;
  char text[160];
  std::snprintf(text, sizeof text, "spooler: job %u %s (%u bytes, %u-byte buffers)", static_cast<unsigned>(plan.id),
                attempt == 0 ? "starts" : "restarts", static_cast<unsigned>(plan.size),
                static_cast<unsigned>(plan.chunk));
  ctx.trace.add(p, text);
  job.started = startDocument(ctx, port, record, job);
  if (job.started) {
    handOver(ctx, port, record, job);
    std::snprintf(text, sizeof text, "spooler: job %u handed over %u of %u bytes", static_cast<unsigned>(plan.id),
                  static_cast<unsigned>(job.handedOver), static_cast<unsigned>(plan.size));
    ctx.trace.add(p, text);
    if (job.cancelled && plan.closeInDoc) {
      job.closedInDoc = true;
      job.endDocSeq = ++ctx.seq;
      closePort(ctx, port);
    } else {
      job.endDocSeq = ++ctx.seq;
      const BOOL reported =
          timed(ctx, port, EntryPoint::EndDoc, [&] { return ctx.table->Monitor.pfnEndDocPort(record); });
      ctx.trace.add(p, std::string("spooler: end of job ") + std::to_string(plan.id) + " returned " +
                           (reported ? "TRUE" : "FALSE"));
      job.ended = true;
    }
  }
  job.endSeq = ++ctx.seq;
  job.endAt = ctx.trace.now();
  job.endCall = printer.callCount();
  ps.inDoc = false;
  ++ps.docEpoch;
  {
    std::lock_guard<std::mutex> held(ctx.record.lock);
    ctx.record.jobs.push_back(std::move(job));
  }
}

void printJob(RunContext& ctx, unsigned port, const JobPlan& plan) {
  printAttempt(ctx, port, plan, 0);
  if (plan.restart) printAttempt(ctx, port, plan, 1);
}

void memoryQuery(RunContext& ctx, unsigned port) {
  INIPORT* record = openRecord(ctx, port);
  if (record == nullptr) return;
  WideString name = widen("Installed Memory");
  DWORD value = 0;
  DWORD returned = 0;
  const BOOL ok = timed(ctx, port, EntryPoint::MemoryQuery, [&] {
    return ctx.table->Monitor.pfnGetPrinterDataFromPort(record, 0, &name[0], nullptr, 0,
                                                         reinterpret_cast<LPWSTR>(&value), sizeof value, &returned);
  });
  ctx.trace.add(static_cast<int>(port), std::string("spooler: memory query returned ") + (ok ? "TRUE" : "FALSE"));
}

}  // namespace

void runSpooler(RunContext& ctx, unsigned port) {
  for (const Event& e : ctx.scenario.events) {
    if (e.port != port) continue;
    switch (e.step) {
      case Step::Open:
        ctx.waitUntil(e.at);
        openPort(ctx, port);
        break;
      case Step::Close:
        ctx.waitUntil(e.at);
        closePort(ctx, port);
        break;
      case Step::Job:
        ctx.waitUntil(e.at);
        printJob(ctx, port, e.job);
        break;
      case Step::MemoryQuery:
        ctx.waitUntil(e.at);
        memoryQuery(ctx, port);
        break;
      default:
        break;
    }
  }
  closePort(ctx, port);  // a port still open at the end is closed
}

}  // namespace soak
