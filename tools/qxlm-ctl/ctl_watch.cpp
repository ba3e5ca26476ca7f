#include "ctl_watch.h"

#include <algorithm>

#include "ctl_command_line.h"
#include "ctl_fleet.h"
#include "ctl_local_time.h"
#include "ctl_text.h"
#include "json_writer.h"
#include "platform/clock.h"

namespace ctl {
namespace {

const size_t kPortColumn = 8;

bool absent(const std::vector<const StateWord*>& words) {
  return words.size() == 1 && words[0]->name == std::string(kWordAbsent);
}

std::string padded(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

bool conditionHoldsFor(const std::string& condition, const std::vector<const StateWord*>& words) {
  const IppState ipp = ippStateOf(words);
  if (equalsIgnoringCase(condition, "ready")) return ipp.state != PrinterState::Stopped;
  if (equalsIgnoringCase(condition, printerStateName(ipp.state))) return true;
  for (const StateWord* word : words) {
    if (equalsIgnoringCase(condition, word->name)) return true;
  }
  return std::any_of(ipp.reasons.begin(), ipp.reasons.end(),
                     [&](const std::string& reason) { return equalsIgnoringCase(condition, reason); });
}

PortWatch::PortWatch(const FleetInvocation& invocation, const Console& console)
    : inv_(invocation), console_(console), selection_(invocation.ports) {}

void PortWatch::tell(const char* event, const Port& port, const std::vector<const StateWord*>* before,
                     long ticketsBefore) {
  const IppState ipp = ippStateOf(port.words);
  const PortMetrics& m = port.metrics;
  const std::string stamp = localStamp();
  if (inv_.json) {
    tools::JsonWriter json;
    json.beginObject().member("time", isoStamp(stamp)).member("port", port.name).member("event", event);
    json.member("conditions", wordNames(port.words));
    if (before != nullptr) json.member("previous", wordNames(*before));
    writeIppMembers(ipp, &json);
    if (inv_.counters && m.hasTickets) json.member("ticketCount", m.tickets);
    console_.out << json.endObject().text() << "\n";
    return;
  }
  std::string line = stamp + "  " + padded(port.name, kPortColumn) + "  ";
  if (std::string(event) == "vanished") {
    line += "vanished (was " + wordsText(*before) + ")";
  } else {
    if (std::string(event) == "appeared") line += "appeared: ";
    if (before != nullptr && wordsText(*before) != wordsText(port.words)) line += wordsText(*before) + " -> ";
    line += wordsText(port.words) + "  [" + printerStateName(ipp.state) + ":";
    for (const std::string& reason : ipp.reasons) line += " " + reason;
    line += "]";
    if (inv_.counters && m.hasTickets) {
      line += "  tickets " + std::to_string(m.tickets);
      if (ticketsBefore >= 0 && ticketsBefore != m.tickets) line += " (+" + std::to_string(m.tickets - ticketsBefore) + ")";
    }
  }
  console_.out << line << "\n";
}

void PortWatch::look(const std::string& name) {
  PortQuestions questions;
  questions.live = inv_.counters || !inv_.metricsPath.empty();
  questions.liveTimeoutMs = inv_.liveTimeoutMs;
  const PortView view = viewPort(name, questions);

  auto known = std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) { return equalsIgnoringCase(p.name, name); });
  if (known == ports_.end()) {
    ports_.push_back(Port{name, {}, PortMetrics()});
    known = ports_.end() - 1;
  }
  Port& port = *known;
  const bool seenBefore = !port.words.empty();
  // A pipe another client keeps busy past the wait tells nothing new.
  if (seenBefore && view.outcome == Outcome::Busy) return;
  const std::vector<const StateWord*> before = port.words;
  const long ticketsBefore = port.metrics.hasTickets ? port.metrics.tickets : -1;
  PortMetrics& m = port.metrics;
  m.view = view;
  if (view.hasLive) {
    const DecodedStatus& live = view.live;
    if (live.hasTicketCount) m.tickets = live.ticketCount;
    m.hasTickets = m.hasTickets || live.hasTicketCount;
    if (live.hasHeadTemperature) m.headTempC = live.headTempC;
    m.hasHeadTemperature = m.hasHeadTemperature || live.hasHeadTemperature;
    if (live.hasVersion) m.firmware = live.version;
  }
  if (!view.portName.empty()) port.name = view.portName;  // the monitor's spelling, once it tells it
  port.words = view.words();

  if (!seenBefore) {
    // A port found by a pattern that is gone again by the time it is asked is no news.
    if (absent(port.words) && !selection_.named(name)) {
      ports_.erase(known);
      return;
    }
    tell(first_ ? "start" : "appeared", port, nullptr, -1);
    return;
  }
  const bool wordsChanged = wordsText(before) != wordsText(port.words);
  if (absent(port.words) && !absent(before)) {
    tell("vanished", port, &before, -1);
  } else if (absent(before) && !absent(port.words)) {
    tell("appeared", port, nullptr, -1);
  } else if (wordsChanged || (inv_.counters && ticketsBefore >= 0 && ticketsBefore != m.tickets)) {
    tell("change", port, &before, ticketsBefore);
  }
  if (absent(port.words) && !selection_.named(name)) ports_.erase(known);
}

void PortWatch::round() {
  std::vector<std::string> names;
  std::string error;
  if (!selection_.current(&names, &error) && error != listError_) console_.err << "qxlm-ctl: " << error << "\n";
  listError_ = error;
  // Ports found by a pattern that are no longer listed have gone.
  for (size_t i = 0; i < ports_.size();) {
    const bool listed = std::any_of(names.begin(), names.end(),
                                    [&](const std::string& n) { return equalsIgnoringCase(n, ports_[i].name); });
    if (listed || selection_.named(ports_[i].name) || !error.empty()) {
      ++i;
      continue;
    }
    const std::vector<const StateWord*> before = ports_[i].words;
    ports_[i].words = {findStateWord(kWordAbsent)};
    tell("vanished", ports_[i], &before, -1);
    ports_.erase(ports_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (const std::string& name : names) look(name);
  first_ = false;
  if (!inv_.metricsPath.empty()) {
    std::vector<PortMetrics> metrics;
    for (const Port& port : ports_) metrics.push_back(port.metrics);
    std::string why;
    if (!writeMetricsFile(inv_.metricsPath, metricsText(metrics), &why) && why != metricsError_) {
      console_.err << "qxlm-ctl: " << why << "\n";
    }
    metricsError_ = why;
  }
  console_.out.flush();
}

bool PortWatch::conditionHolds() const {
  if (ports_.empty()) return false;
  return std::all_of(ports_.begin(), ports_.end(),
                     [&](const Port& port) { return conditionHoldsFor(inv_.until, port.words); });
}

int runWatch(const FleetInvocation& inv, const Console& console) {
  PortWatch watch(inv, console);
  const DWORD start = clockTickCount();
  for (;;) {
    watch.round();
    if (!inv.until.empty()) {
      if (watch.conditionHolds()) return EXIT_OK;
      const DWORD waited = clockTickCount() - start;
      if (waited >= inv.untilTimeoutMs) {
        console.err << "qxlm-ctl: " << inv.until << " did not hold on every port within "
                    << inv.untilTimeoutMs / 1000.0 << " s\n";
        return EXIT_CONDITION_TIMED_OUT;
      }
      clockSleep(std::min(inv.intervalMs, inv.untilTimeoutMs - waited));
    } else {
      clockSleep(inv.intervalMs);
    }
  }
}

}  // namespace ctl
