// A printer status reply as a person or a script reads it: the reply type, every
// status bit by name, and the numbered fields of a complete or addressed reply.
#pragma once

#include <string>
#include <vector>

#include "ctl_state_words.h"
#include "json_writer.h"
#include "platform/win32_api.h"

namespace ctl {

struct DecodedStatus {
  char type = 0;            // the reply letter: S N E C A
  std::string typeName;     // "short status", ...; empty for an unknown letter
  bool hasStatusBytes = false;
  BYTE status1 = 0;
  BYTE status2 = 0;
  std::vector<const StateWord*> conditions;  // the bits that are set
  // The fields after field 00, as far as they could be read.
  bool hasErrorCode = false;
  int errorCode = 0;
  bool hasTicketCount = false;
  long ticketCount = 0;
  bool hasHeadTemperature = false;
  int headTempC = 0;
  bool hasFormsLength = false;
  unsigned formsLength = 0;  // hundredths of an inch; 0 is roll stock
  bool hasVersion = false;
  std::string version;
  // An addressed reply: its field number and the bytes after it.
  int field = -1;
  std::vector<BYTE> fieldData;
};

// false when the reply does not start with a known type letter.
bool decodeStatus(const std::vector<BYTE>& reply, DecodedStatus* status);

// The status's words: its set bits, or "ready" when none is set.
std::vector<const StateWord*> conditionWords(const DecodedStatus& status);

// The status as indented lines of text, and as one JSON object's members (with the
// IPP printer-state and printer-state-reasons of its bits).
std::string statusText(const DecodedStatus& status);
void writeStatusMembers(const DecodedStatus& status, tools::JsonWriter* json);

// Bytes as "4E 30 30".
std::string hexBytes(const std::vector<BYTE>& bytes);

}  // namespace ctl
