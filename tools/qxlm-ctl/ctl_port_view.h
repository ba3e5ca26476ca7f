// One look at one port through its pipe, on one connection, with only the
// commands that never disturb printing: the progress of an update, the names, the
// stored status, whether a document is open and the job outcomes; and, where asked, a live complete
// status for the ticket counter and the head temperature.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ctl_client.h"
#include "ctl_state_words.h"
#include "ctl_status.h"

namespace ctl {

struct PortQuestions {
  bool live = false;           // ask the printer for its complete status too
  DWORD liveTimeoutMs = 5000;  // how long the monitor waits for it
};

struct PortView {
  std::string port;              // the name asked for
  Outcome outcome = Outcome::Ok;  // of the connection and the answers
  std::string portName;          // as the monitor knows it; empty while an update runs
  std::string printer;           // empty while an update runs
  bool updating = false;
  bool printing = false;
  std::string progress;          // the firmware update's progress text
  bool hasStatus = false;        // a status reply is stored
  DecodedStatus status;
  bool hasLive = false;          // the live complete status was asked and answered
  DecodedStatus live;
  // The port's job outcomes (command 13) as name=value, when the monitor answers it.
  std::map<std::string, std::string> jobs;
  // A number of the job outcomes, or 0 when the monitor did not give it.
  unsigned long jobCount(const std::string& name) const;

  // The port's state words: the set bits of the stored status and the conditions
  // of the table that hold ("ready" when nothing else does).
  std::vector<const StateWord*> words() const;
  // Whether the printer answered the monitor, as far as the stored status tells:
  // the monitor stands in a fixed off-line reply for one that did not come.
  bool printerAnswers() const;
  // The port's name for display: the monitor's spelling when known.
  const std::string& name() const { return portName.empty() ? port : portName; }
};

PortView viewPort(const std::string& port, const PortQuestions& questions);

// "name=value" lines as a map; lines without a name and '=' are skipped.
std::map<std::string, std::string> parseNameValues(const std::string& text);

// The words' names joined by blanks.
std::string wordsText(const std::vector<const StateWord*>& words);
std::vector<std::string> wordNames(const std::vector<const StateWord*>& words);

}  // namespace ctl
