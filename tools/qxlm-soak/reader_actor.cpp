// A second thread of the spooler's that reads the port now and then, during jobs
// too, as a bidirectional port's reader does. What it reads is not judged: what it
// must not do is change what the job's writes do or take a reply meant for the
// job's own queries, which the job checks see.
#include "run.h"

namespace soak {

void runReader(RunContext& ctx, unsigned port) {
  PortState& ps = *ctx.ports[port];
  for (const Event& e : ctx.scenario.events) {
    if (e.port != port || e.step != Step::ForeignRead) continue;
    ctx.waitUntil(e.at);
    std::lock_guard<std::mutex> reading(ps.readLock);
    INIPORT* record = nullptr;
    {
      std::lock_guard<std::mutex> held(ps.lock);
      record = ps.record;
    }
    if (record == nullptr) continue;
    const bool inDoc = ps.inDoc;
    BYTE buffer[64] = {};
    DWORD got = 0;
    const BOOL ok = ctx.table->Monitor.pfnReadPort(record, buffer, sizeof buffer, &got);
    ctx.trace.add(static_cast<int>(port), std::string("reader: ReadPort ") + (ok ? "TRUE, " : "FALSE, ") +
                                              std::to_string(got) + " bytes" + (inDoc ? " (during a job)" : ""));
    if (inDoc) {
      std::lock_guard<std::mutex> held(ctx.record.lock);
      ++ctx.record.exercised.foreignReads;
    }
  }
}

}  // namespace soak
