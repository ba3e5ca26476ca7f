// The port status follows the printer. Over a stretch of samples in which a port is
// idle and polled with the heartbeat on, nothing is planned to fail, and the printer
// shows one steady condition, the spooler must show that condition's status once the
// printer has served a few status exchanges: counted in exchanges rather than in
// time, so that a loaded machine cannot fail the check.
#include <cstdio>

#include "checks.h"
#include "expected_status.h"

namespace soak {
namespace {

// The first exchanges may read replies queued before the condition held.
const size_t kExchanges = 6;

bool sameCondition(const Sample& a, const Sample& b) {
  return a.status1 == b.status1 && a.status2 == b.status2 && a.answers == b.answers && a.faultsFired == b.faultsFired;
}

}  // namespace

void checkStatus(const CheckInput& in) {
  for (unsigned port = 0; port < in.scenario->ports.size(); ++port) {
    const Sample* first = nullptr;
    bool judged = false;
    for (const Sample& s : in.record->samples) {
      if (s.port != port) continue;
      if (!s.eligible || first == nullptr || !sameCondition(*first, s)) {
        first = s.eligible ? &s : nullptr;
        judged = false;
        continue;
      }
      if (judged || s.exchanges - first->exchanges < kExchanges) continue;
      judged = true;
      ++in.record->statusJudged;
      const DWORD expected = expectedPortStatus(s.status1, s.status2, s.answers, in.scenario->setup.lpMode);
      const DWORD shown = s.shown ? *s.shown : 0;
      if (shown == expected) continue;
      char text[200];
      std::snprintf(text, sizeof text,
                    "the printer shows status %02X %02X%s steadily since %u ms (%zu exchanges), the spooler shows "
                    "port status %u where %u is due",
                    s.status1, s.status2, s.answers ? "" : " and does not answer", static_cast<unsigned>(first->at),
                    s.exchanges - first->exchanges, static_cast<unsigned>(shown), static_cast<unsigned>(expected));
      in.record->addBreach(Check::Status, s.at, static_cast<int>(port), text);
    }
  }
}

}  // namespace soak
