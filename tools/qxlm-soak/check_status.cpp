// The port status follows the printer. Over a stretch of samples in which a port is
// idle and polled with the heartbeat on, nothing is planned to fail, and the printer
// shows one steady condition, the spooler must show that condition's status once the
// printer has served a few status exchanges: counted in exchanges rather than in
// time, so that a loaded machine cannot fail the check. And every status posted
// is one the printer showed shortly before.
#include <cstdio>
#include <string>

#include "checks.h"
#include "expected_status.h"
#include "sim/printer_codes.h"

namespace soak {
namespace {

// The first exchanges may read replies queued before the condition held.
const size_t kExchanges = 5;

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

// How long a posted status may lag the printer: the low-paper debounce takes two
// readings, each a heartbeat apart at the slowest rate a client may set (5 s), after
// the heartbeat that first saw the change, and a confirming read.
const DWORD kPostLagMs = 3 * 5000 + 1000;

// The monitor posts the debounced low-paper flag, which follows the sensor two
// readings late either way: a reply may be posted with its low-paper bit as the
// replies before it had it. In low-paper busy mode the first reply that shows low
// paper is posted as paper out; only the replies after it, read as not ready, post
// the printer off line.
bool showsPosted(const Sample& s, DWORD lpMode, DWORD posted) {
  if (expectedPortStatus(s.status1, s.status2, s.answers, lpMode) == posted) return true;
  const BYTE debounced2 = static_cast<BYTE>(s.status2 ^ sim::status2::LowPaper);
  if (expectedPortStatus(s.status1, debounced2, s.answers, lpMode) == posted) return true;
  return lpMode != 0 && (s.status2 & sim::status2::LowPaper) != 0 && posted == PORT_STATUS_PAPER_OUT &&
         expectedPortStatus(s.status1, s.status2, s.answers, lpMode) == PORT_STATUS_OFFLINE;
}

bool nearOpenOrClose(const CheckInput& in, unsigned port, DWORD at) {
  for (const PortCallSpan& span : in.record->opensAndCloses) {
    if (span.port == port && at + 200 >= span.from && at <= span.to + 200) return true;
  }
  return false;
}

// The samples come every 100 ms at best, and later on a loaded machine: a condition
// that began just before a post may first show in a sample taken after it (every
// condition lasts a second or more), and a planned fault that struck just before a
// post is found in the port's calls.
const DWORD kSampleLateMs = 1000;

bool plannedFaultBefore(const CheckInput& in, unsigned port, DWORD at) {
  for (const sim::Call& call : in.calls[port]) {
    const DWORD t = in.runTime(call.time);
    if (call.planned && t <= at && t + kPostLagMs >= at) return true;
  }
  return false;
}

// Every status the monitor posts for an open, idle port is one the printer showed
// within the lag before it, unless a planned fault (a garbled reply, say) fired
// meanwhile or a firmware update or an open or close of the port was under way. In
// a document the monitor marks the printer's replies itself: posts there are not
// judged.
void checkPosted(const CheckInput& in, unsigned port) {
  const std::string& name = in.scenario->ports[port].name;
  for (const sim::SpoolerRecord& r : in.spooler) {
    if (r.call != sim::SpoolerCall::SetPort || !r.result || r.name != name) continue;
    const DWORD at = in.runTime(r.time);
    if (at < kPostLagMs || nearOpenOrClose(in, port, at)) continue;
    const Sample* first = nullptr;
    bool seen = false;
    bool excused = false;
    for (const Sample& s : in.record->samples) {
      if (s.port != port || s.at + kPostLagMs < at || s.at > at + kSampleLateMs) continue;
      seen = seen || showsPosted(s, in.scenario->setup.lpMode, r.status);
      if (s.at > at + 100) continue;
      if (first == nullptr) first = &s;
      excused = excused || !s.open || s.inDoc || s.flashing || s.faultsFired != first->faultsFired;
    }
    if (first == nullptr || excused || plannedFaultBefore(in, port, at)) continue;
    ++in.record->exercised.statusPosts;
    if (seen) continue;
    char text[200];
    std::snprintf(text, sizeof text,
                  "port status %u was posted, which the printer did not show at any moment of the %u ms before",
                  static_cast<unsigned>(r.status), static_cast<unsigned>(kPostLagMs));
    in.record->addBreach(Check::Status, at, static_cast<int>(port), text);
  }
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
    checkPosted(in, port);
  }
}

}  // namespace soak
