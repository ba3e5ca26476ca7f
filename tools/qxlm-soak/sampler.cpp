// Looks at every open port every 100 protocol ms: whether the port is in a steady
// state the status check can judge (open, no document, the status thread polling,
// the heartbeat on, no update, no fault pending on the printer), the printer's
// condition, the status exchanges it has served, and what the spooler shows.
#include <optional>

#include "platform/clock.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "run.h"
#include "sim/recording_spooler.h"

namespace soak {
namespace {

// Whether a planned fault may yet strike the status exchanges of an idle port: its
// reads, and on a serial link the writes and document starts that carry requests.
bool faultCanStrike(const RunContext& ctx, unsigned port, const sim::Printer& printer) {
  using Op = sim::Fault::Op;
  if (printer.faultsPending(Op::Read)) return true;
  return ctx.scenario.ports[port].link == Link::Serial &&
         (printer.faultsPending(Op::Write) || printer.faultsPending(Op::StartDoc));
}

}  // namespace

void runSampler(RunContext& ctx) {
  const DWORD kPeriodMs = 100;
  for (DWORD next = 0; !ctx.actorsDone; next += kPeriodMs) {
    ctx.waitUntil(next);
    for (unsigned port = 0; port < ctx.ports.size(); ++port) {
      PortState& ps = *ctx.ports[port];
      sim::Printer& printer = ctx.printer(port);
      Sample s;
      s.port = port;
      {
        std::lock_guard<std::mutex> held(ps.lock);
        s.at = ctx.trace.now();
        const INIPORT* record = ps.record;
        // A closed port breaks a steady stretch: the next open starts over.
        s.open = record != nullptr;
        s.inDoc = ps.inDoc;
        s.flashing = record != nullptr && record->flash.FlashInProgress;
        s.eligible = record != nullptr && !ps.inDoc && (record->flags & PP_STATUS_LOOP) != 0 &&
                     !record->flash.FlashInProgress && HeartbeatOn && !faultCanStrike(ctx, port, printer);
        s.status1 = printer.status1();
        s.status2 = printer.status2();
        s.answers = printer.answers();
        s.faultsFired = printer.faultsFired();
        // Only answers that carry status count: a field read or a foreign read
        // tells the monitor nothing it posts.
        s.exchanges = printer.statusAnswers();
        const auto shown = record == nullptr ? std::nullopt : sim::spooler().lastPortStatus(ctx.portName(port));
        if (shown) s.shown = shown->status;
      }
      std::lock_guard<std::mutex> held(ctx.record.lock);
      ctx.record.samples.push_back(s);
    }
  }
}

}  // namespace soak
