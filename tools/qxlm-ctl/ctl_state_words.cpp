#include "ctl_state_words.h"

#include <algorithm>

#include "ctl_status.h"
#include "ctl_text.h"

namespace ctl {

const char kWordReady[] = "ready";
const char kWordNoStatus[] = "no-status";
const char kWordPrinting[] = "printing";
const char kWordUpdating[] = "updating";
const char kWordNotAnswering[] = "not-answering";
const char kWordAbsent[] = "absent";

namespace {

const PrinterState I = PrinterState::Idle;
const PrinterState P = PrinterState::Processing;
const PrinterState S = PrinterState::Stopped;

}  // namespace

// The stopping bits are the ones the monitor posts to the spooler as errors (off
// line, jams, paper out, door open) and the printer's own "not ready"; a ticket
// left in the output, low paper and a timeout are warnings and reports, as the
// monitor posts them with information severity.
const std::vector<StateWord>& stateWords() {
  static const std::vector<StateWord> words = {
      {1, 0x80, "SYSTEM_NOT_READY", "printer not ready", "offline-report", S, true},
      {1, 0x40, "SYSTEM_DIAG_ERROR", "diagnostic error", "other", I, false},
      {1, 0x20, "MANUAL_DESELECT", "taken off line at the printer", "offline-report", S, false},
      {1, 0x10, "OUTPUT_JAM", "output jam", "media-jam", S, false},
      {1, 0x08, "PAPER_REG_ERROR", "paper registration error", "media-jam", S, false},
      {1, 0x04, "CUTTER_JAM", "cutter jam", "media-jam", S, false},
      {1, 0x02, "HEAD_LEVER_UP", "print-head lever open", "cover-open", S, false},
      {1, 0x01, "OUT_OF_PAPER", "paper out", "media-empty", S, false},
      {2, 0x80, "DOC_IN_PROGRESS", "a document is being printed", "", P, false},
      {2, 0x40, "PRINTER_TIMEOUT", "printer timeout", "timed-out-report", I, false},
      {2, 0x20, "BUSY", "busy", "", P, false},
      {2, 0x10, "PH_TEMP_WAIT", "waiting for the print head to cool", "other-report", P, false},
      {2, 0x08, "TICKET_NOT_TAKEN", "ticket not taken (bin full)", "output-area-full-warning", I, false},
      {2, 0x04, "AVG_POWER_WAIT", "waiting for the average-power limit", "other-report", P, false},
      {2, 0x01, "LOW_PAPER", "paper low", "media-low-warning", I, false},
      {0, 0, kWordReady, "status stored, no condition set", "", I, false},
      {0, 0, kWordNoStatus, "no status reply stored yet (the spooler shows the port off line)",
       "connecting-to-device", S, false},
      {0, 0, kWordPrinting, "the monitor has a document open on the port", "", P, false},
      {0, 0, kWordUpdating, "a firmware update runs", "other-report", P, false},
      {0, 0, kWordNotAnswering, "the port's pipe gave no answer", "timed-out", S, false},
      {0, 0, kWordAbsent, "no monitor pipe of that name: the port is not open", "offline-report", S, false},
  };
  return words;
}

const StateWord* findStateWord(const std::string& name) {
  for (const StateWord& word : stateWords()) {
    if (equalsIgnoringCase(name, word.name)) return &word;
  }
  return nullptr;
}

IppState ippStateOf(const std::vector<const StateWord*>& words) {
  IppState ipp;
  std::vector<std::string> alone;
  for (const StateWord* word : words) {
    if (word->state == PrinterState::Stopped || (word->state == PrinterState::Processing && ipp.state == I)) {
      ipp.state = word->state;
    }
    std::vector<std::string>& into = word->onlyAlone ? alone : ipp.reasons;
    if (*word->ippReason != 0 && std::find(into.begin(), into.end(), word->ippReason) == into.end()) {
      into.push_back(word->ippReason);
    }
  }
  if (ipp.reasons.empty()) ipp.reasons = alone;
  if (ipp.reasons.empty()) ipp.reasons.push_back("none");
  return ipp;
}

const char* printerStateName(PrinterState state) {
  switch (state) {
    case PrinterState::Processing:
      return "processing";
    case PrinterState::Stopped:
      return "stopped";
    default:
      return "idle";
  }
}

void writeIppMembers(const IppState& ipp, tools::JsonWriter* json) {
  json->member("printer-state", printerStateName(ipp.state)).member("printer-state-reasons", ipp.reasons);
}

}  // namespace ctl
