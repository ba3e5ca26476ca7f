// The one table of state words: every status bit and every other condition a port
// can show, with the monitor's own name for it, the IPP printer-state-reasons
// keyword that fits and what it does to the IPP printer-state. Every status qxlm-ctl
// prints as JSON, every watch line and the metrics file take their words from here,
// so consumers that know IPP or CUPS need no table of this printer's bits.
#pragma once

#include <string>
#include <vector>

#include "json_writer.h"
#include "platform/win32_api.h"

namespace ctl {

// The IPP printer-state a word leads to: stopped wins over processing, processing
// over idle.
enum class PrinterState { Idle, Processing, Stopped };

struct StateWord {
  int byte;    // 1 or 2: the status byte (reply byte 3 or 4) of a status bit; 0 for a condition
  BYTE mask;   // the bit within that byte
  const char* name;     // the monitor's condition name
  const char* meaning;  // for people
  // The printer-state-reasons keyword, with the IPP severity suffix where the
  // condition is not an error ("-warning", "-report"); a bare keyword is an error.
  // Empty: the word adds no reason of its own.
  const char* ippReason;
  PrinterState state;
  // The keyword is given only when no other word gives one (a bare "not ready"
  // that the monitor itself shows as off line).
  bool onlyAlone;
};

// Status bits first (status byte 1 highest bit first, then status byte 2), then the
// conditions a port shows without a status bit.
const std::vector<StateWord>& stateWords();

// The conditions without a status bit, by name.
extern const char kWordReady[];         // a status is stored and no bit is set
extern const char kWordNoStatus[];      // the port has no status reply stored yet
extern const char kWordPrinting[];      // the monitor has a document open on the port
extern const char kWordUpdating[];      // a firmware update runs on the port
extern const char kWordNotAnswering[];  // the pipe is there but gave no answer
extern const char kWordAbsent[];        // no pipe of that name: the port is not open

const StateWord* findStateWord(const std::string& name);

// What a set of words comes to in IPP terms.
struct IppState {
  PrinterState state = PrinterState::Idle;
  std::vector<std::string> reasons;  // "none" when no word gives one
};
IppState ippStateOf(const std::vector<const StateWord*>& words);

const char* printerStateName(PrinterState state);

// `"printer-state":"idle","printer-state-reasons":["none"]`, inside a JSON object.
void writeIppMembers(const IppState& ipp, tools::JsonWriter* json);

}  // namespace ctl
