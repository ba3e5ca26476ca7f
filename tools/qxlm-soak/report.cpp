#include "report.h"

#include <algorithm>
#include <cstdio>

#include "port/monitor_state.h"
#include "port/port_record.h"

namespace soak {
namespace {

const DWORD kAfter = 1000;
const size_t kMostAfter = 15;

bool uneventful(const sim::Call& c) {
  return c.result && c.fault.empty() && (c.entry == sim::Entry::ReadPort || c.entry == sim::Entry::WritePort);
}

// The printer's calls of a port between two times, runs of plain reads and writes
// folded into one line each.
std::vector<TraceLine> printerLines(const std::vector<sim::Call>& calls, DWORD startTick, int port, DWORD from,
                                    DWORD to) {
  std::vector<TraceLine> out;
  for (size_t i = 0; i < calls.size(); ++i) {
    const DWORD at = calls[i].time - startTick;
    if (at < from || at > to) continue;
    if (!uneventful(calls[i])) {
      out.push_back(TraceLine{at, port, "  lower " + describeCall(calls[i])});
      continue;
    }
    size_t j = i;
    size_t bytes = 0;
    while (j < calls.size() && uneventful(calls[j]) && calls[j].entry == calls[i].entry &&
           calls[j].time - startTick <= to) {
      bytes += calls[j].entry == sim::Entry::WritePort ? calls[j].count : calls[j].out.size();
      ++j;
    }
    if (j - i == 1) {
      out.push_back(TraceLine{at, port, "  lower " + describeCall(calls[i])});
    } else {
      out.push_back(TraceLine{at, port, "  lower " + std::to_string(j - i) + "x " + sim::entryName(calls[i].entry) +
                                            ", " + std::to_string(bytes) + " bytes"});
    }
    i = j - 1;
  }
  return out;
}

void printWindow(std::ostream& out, RunContext& ctx, const std::vector<sim::Call>& calls, const Breach& b) {
  const int port = b.port;
  const DWORD before = ctx.options.traceWindowMs;
  const size_t mostBefore = std::max<size_t>(120, before / 100);
  const DWORD to = b.at == 0 ? ctx.trace.now() : b.at + kAfter;
  const DWORD from = to > before + kAfter ? to - before - kAfter : 0;
  std::vector<TraceLine> lines = ctx.trace.between(port, from, to);
  if (port != kNoPort) {
    const std::vector<TraceLine> lower = printerLines(calls, ctx.trace.startTick(), port, from, to);
    lines.insert(lines.end(), lower.begin(), lower.end());
  }
  std::stable_sort(lines.begin(), lines.end(), [](const TraceLine& x, const TraceLine& y) { return x.at < y.at; });
  const DWORD breachAt = b.at == 0 ? to : b.at;
  const auto split = std::upper_bound(lines.begin(), lines.end(), breachAt,
                                      [](DWORD t, const TraceLine& l) { return t < l.at; });
  auto first = split - static_cast<std::ptrdiff_t>(std::min<size_t>(mostBefore, split - lines.begin()));
  auto last = split + static_cast<std::ptrdiff_t>(std::min<size_t>(kMostAfter, lines.end() - split));
  out << "  trace" << (port == kNoPort ? "" : " of " + ctx.portName(static_cast<unsigned>(port))) << ":\n";
  char stamp[32];
  for (auto l = first; l != last; ++l) {
    std::snprintf(stamp, sizeof stamp, "  %8u ms ", static_cast<unsigned>(l->at));
    out << stamp << l->text << "\n";
    if (l + 1 == split) out << "  ---------- breach found here\n";
  }
}

}  // namespace

std::string describeBreach(const Scenario& scenario, const Breach& b) {
  char at[32];
  std::snprintf(at, sizeof at, "%u ms", static_cast<unsigned>(b.at));
  return std::string(checkName(b.check)) + " breached" + (b.at != 0 ? std::string(" at ") + at : "") +
         (b.port != kNoPort ? " on " + scenario.ports[static_cast<size_t>(b.port)].name : "") + ": " + b.text;
}

void printReport(std::ostream& out, RunContext& ctx, const CheckInput& in, const std::vector<Breach>& breaches,
                 unsigned traced) {
  for (size_t i = 0; i < breaches.size(); ++i) {
    const Breach& b = breaches[i];
    out << "seed " << ctx.scenario.seed << ": " << describeBreach(ctx.scenario, b) << "\n";
    if (i < traced) {
      static const std::vector<sim::Call> none;
      printWindow(out, ctx, b.port == kNoPort ? none : in.calls[static_cast<size_t>(b.port)], b);
    }
  }
}

void printHang(std::ostream& out, RunContext& ctx, const Breach& b) {
  out << "seed " << ctx.scenario.seed << ": " << describeBreach(ctx.scenario, b) << "\n";
  const std::vector<sim::Call> calls = ctx.printer(static_cast<unsigned>(b.port)).calls();
  // The trace from the hung call's start, then the latest of it.
  Breach start = b;
  start.at = ctx.ports[static_cast<size_t>(b.port)]->callStart + ctx.options.traceWindowMs / 2;
  printWindow(out, ctx, calls, start);
  printWindow(out, ctx, calls, b);
  // What the port's record says while the call hangs.
  PortState& ps = *ctx.ports[static_cast<size_t>(b.port)];
  std::lock_guard<std::mutex> held(ps.lock);
  const INIPORT* r = ps.closing != nullptr ? ps.closing.load() : ps.record;
  if (r == nullptr) return;
  char text[320];
  std::snprintf(text, sizeof text,
                "  port record: flags %08X, status thread %s, pipe thread %s, flash thread %s, update %s, "
                "live request %s, printer state %u, heartbeat %s\n",
                static_cast<unsigned>(r->flags), r->status.hStatusThread != nullptr ? "kept" : "none",
                r->pipe.hPipeThread != nullptr ? "kept" : "none", r->flash.hFlashThread != nullptr ? "kept" : "none",
                r->flash.FlashInProgress ? "claimed" : "none", r->status.RTStatusRequest ? "placed" : "none",
                static_cast<unsigned>(r->status.printerState), HeartbeatOn ? "on" : "off");
  out << text;
}

}  // namespace soak
