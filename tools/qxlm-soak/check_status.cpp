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

// One steady stretch of a port, judged when it ends: once the printer has served
// kExchanges exchanges in it, the spooler must show the due status at some sample
// from then on (a sample may fall between a reply and the status it sets).
struct Stretch {
  const Sample* first = nullptr;
  const Sample* last = nullptr;
  bool reached = false;  // kExchanges served
  bool shownDue = false;
};

void judge(const CheckInput& in, unsigned port, const Stretch& st) {
  if (!st.reached) return;
  ++in.record->exercised.statusSamples;
  if (st.shownDue) return;
  const Sample& s = *st.last;
  const DWORD expected = expectedPortStatus(s.status1, s.status2, s.answers, in.scenario->setup.lpMode);
  char text[200];
  std::snprintf(text, sizeof text,
                "the printer showed status %02X %02X%s steadily from %u ms to %u ms (%zu exchanges), the spooler "
                "showed port status %u where %u is due",
                s.status1, s.status2, s.answers ? "" : " and did not answer", static_cast<unsigned>(st.first->at),
                static_cast<unsigned>(s.at), s.exchanges - st.first->exchanges,
                static_cast<unsigned>(s.shown ? *s.shown : 0), static_cast<unsigned>(expected));
  in.record->addBreach(Check::Status, s.at, static_cast<int>(port), text);
}

}  // namespace

void checkStatus(const CheckInput& in) {
  for (unsigned port = 0; port < in.scenario->ports.size(); ++port) {
    Stretch st;
    for (const Sample& s : in.record->samples) {
      if (s.port != port) continue;
      if (!s.eligible || st.first == nullptr || !sameCondition(*st.first, s)) {
        judge(in, port, st);
        st = Stretch();
        if (s.eligible) st.first = st.last = &s;
        continue;
      }
      st.last = &s;
      if (s.exchanges - st.first->exchanges < kExchanges) continue;
      st.reached = true;
      const DWORD expected = expectedPortStatus(s.status1, s.status2, s.answers, in.scenario->setup.lpMode);
      if ((s.shown ? *s.shown : 0) == expected) st.shownDue = true;
    }
    judge(in, port, st);
  }
}

}  // namespace soak
