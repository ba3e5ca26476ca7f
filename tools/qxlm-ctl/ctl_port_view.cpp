#include "ctl_port_view.h"

#include <cstdlib>

#include "ctl_progress.h"
#include "pipe/pipe_commands.h"

namespace ctl {
namespace {

// Another client holds the pipe for one question at a time; the longest, the start
// of a checked update, takes a few seconds.
const DWORD kBusyWaitMs = 5000;
const DWORD kAnswerLimitMs = 10000;
const DWORD kStatusMarginMs = 10000;
const BYTE kCompleteStatus[] = {0x1B, 'I', 'C'};
const BYTE kOffLineStandIn[] = {'S', '0', '0', 0xA0, 0x20};

// Answers F "FLASH UPLOAD IN PROGRESS" while an update runs.
bool refusedForUpdate(const Response& response) { return response.type == 'F'; }

}  // namespace

std::map<std::string, std::string> parseNameValues(const std::string& text) {
  std::map<std::string, std::string> values;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos && equals > 0) values[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return values;
}

unsigned long PortView::jobCount(const std::string& name) const {
  const auto it = jobs.find(name);
  if (it == jobs.end() || it->second.empty()) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(it->second.c_str(), &end, 10);
  return end != nullptr && *end == 0 ? value : 0;
}

PortView viewPort(const std::string& port, const PortQuestions& questions) {
  PortView view;
  view.port = port;
  PipeClient client;
  view.outcome = client.open(port, kBusyWaitMs);
  if (view.outcome != Outcome::Ok) return view;

  Response response;
  const auto ask = [&](BYTE code, const std::vector<BYTE>& payload, DWORD limitMs) {
    if (view.outcome == Outcome::Ok) view.outcome = client.send(buildRequest(code, payload), limitMs, &response);
    return view.outcome == Outcome::Ok;
  };
  if (ask(GET_FLASH_PROGRESS, {}, kAnswerLimitMs)) {
    view.progress = responseText(response);
    FlashProgress progress;
    view.updating = parseProgress(view.progress, &progress) && progress.stage != 3;
  }
  if (ask(GET_PORT_NAME, {}, kAnswerLimitMs)) {
    if (refusedForUpdate(response)) view.updating = true;
    else view.portName = responseText(response);
  }
  if (view.updating) return view;  // the monitor refuses the other questions meanwhile
  if (ask(GET_PRINTER_NAME, {}, kAnswerLimitMs) && response.type == 'P') view.printer = responseText(response);
  if (ask(GET_LAST_STATUS, {}, kAnswerLimitMs) && response.type == 'P') {
    view.hasStatus = decodeStatus(response.payload, &view.status) && view.status.hasStatusBytes;
  }
  if (ask(GET_DPRINT_STATE, {}, kAnswerLimitMs)) view.printing = response.type == 'D';
  if (ask(GET_JOB_OUTCOMES, {}, kAnswerLimitMs) && response.type == 'P') view.jobs = parseNameValues(responseText(response));
  if (questions.live) {
    const DWORD ms = questions.liveTimeoutMs;
    const std::vector<BYTE> payload = {static_cast<BYTE>(ms >> 8), static_cast<BYTE>(ms & 0xFF), kCompleteStatus[0],
                                       kCompleteStatus[1], kCompleteStatus[2]};
    if (ask(GET_REAL_TIME_STATUS, payload, ms + kStatusMarginMs) && response.type == 'P') {
      view.hasLive = decodeStatus(response.payload, &view.live);
    }
  }
  // Any answer still missing makes the view one of a port that did not answer.
  if (view.outcome != Outcome::Ok) view.hasStatus = view.hasLive = false;
  return view;
}

std::vector<const StateWord*> PortView::words() const {
  if (outcome == Outcome::NoSuchPort) return {findStateWord(kWordAbsent)};
  if (outcome != Outcome::Ok) return {findStateWord(kWordNotAnswering)};
  std::vector<const StateWord*> result;
  if (updating) result.push_back(findStateWord(kWordUpdating));
  if (printing) result.push_back(findStateWord(kWordPrinting));
  if (hasStatus) {
    result.insert(result.end(), status.conditions.begin(), status.conditions.end());
  } else if (!updating) {
    result.push_back(findStateWord(kWordNoStatus));
  }
  if (result.empty()) result.push_back(findStateWord(kWordReady));
  return result;
}

bool PortView::printerAnswers() const {
  if (outcome != Outcome::Ok || !hasStatus) return false;
  return !(status.type == 'S' && status.status1 == kOffLineStandIn[3] && status.status2 == kOffLineStandIn[4]);
}

std::vector<std::string> wordNames(const std::vector<const StateWord*>& words) {
  std::vector<std::string> names;
  for (const StateWord* word : words) names.push_back(word->name);
  return names;
}

std::string wordsText(const std::vector<const StateWord*>& words) {
  std::string text;
  for (const StateWord* word : words) text += (text.empty() ? "" : " ") + std::string(word->name);
  return text;
}

}  // namespace ctl
