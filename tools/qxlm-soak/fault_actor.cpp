// The printers' side of the run: faults of the lower ports and conditions of the
// printers, applied at their moments, each undone when its time is up.
#include <algorithm>
#include <functional>

#include "run.h"

namespace soak {
namespace {

struct Undo {
  DWORD at = 0;
  unsigned port = 0;
  std::string what;
  std::function<void()> action;
};

void apply(RunContext& ctx, const Event& e, std::vector<Undo>& undos) {
  sim::Printer& printer = ctx.printer(e.port);
  const PrinterPlan& p = e.printer;
  switch (e.step) {
    case Step::Fault:
      printer.addFault(p.fault);
      if (p.fault.persistent) undos.push_back({e.at + p.forMs, e.port, "faults cleared", [&printer] { printer.clearFaults(); }});
      break;
    case Step::Condition: {
      sim::Condition c;
      c.status1 = p.status1;
      c.status2 = p.status2;
      c.afterPages = p.afterPages;
      c.afterMs = p.afterMs;
      c.forMs = p.forMs;
      printer.addCondition(c);
      break;
    }
    case Step::Silent:
      printer.setSilent(true);
      undos.push_back({e.at + p.forMs, e.port, "answers again", [&printer] { printer.setSilent(false); }});
      break;
    case Step::Restart: printer.powerCycle(p.forMs); break;
    case Step::BusyAfterPage: printer.setBusyAfterPage(p.busyMs); break;
    default: return;
  }
  ctx.trace.add(static_cast<int>(e.port), "printer: " + e.describe());
}

}  // namespace

void runPrinterFaults(RunContext& ctx) {
  std::vector<Undo> undos;
  auto dueUndo = [&](DWORD before) {
    auto first = std::min_element(undos.begin(), undos.end(), [](const Undo& a, const Undo& b) { return a.at < b.at; });
    return first != undos.end() && first->at <= before ? first : undos.end();
  };
  auto runUndosBefore = [&](DWORD at) {
    for (auto u = dueUndo(at); u != undos.end(); u = dueUndo(at)) {
      ctx.waitUntil(u->at);
      u->action();
      ctx.trace.add(static_cast<int>(u->port), "printer: " + u->what);
      undos.erase(u);
    }
  };
  for (const Event& e : ctx.scenario.events) {
    if (e.step < Step::Fault) continue;
    runUndosBefore(e.at);
    ctx.waitUntil(e.at);
    apply(ctx, e, undos);
  }
  runUndosBefore(0xFFFFFFFFu);
}

}  // namespace soak
