// A printer status reply as a person or a script reads it: the reply type, every
// status bit by name, and the numbered fields of a complete or addressed reply.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace ctl {

struct StatusBit {
  int byte;  // 1 or 2: reply byte 3 or 4
  BYTE mask;
  const char* name;
  const char* meaning;
};

// Every named bit of the two status bytes, status byte 1 first, highest bit first.
const std::vector<StatusBit>& statusBits();

struct DecodedStatus {
  char type = 0;            // the reply letter: S N E C A
  std::string typeName;     // "short status", ...; empty for an unknown letter
  bool hasStatusBytes = false;
  BYTE status1 = 0;
  BYTE status2 = 0;
  std::vector<const StatusBit*> conditions;  // the bits that are set
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

// The status as indented lines of text, and as one JSON object's members.
std::string statusText(const DecodedStatus& status);
std::string statusJsonMembers(const DecodedStatus& status);

// Helpers of the output: bytes as "4E 30 30", JSON string literals.
std::string hexBytes(const std::vector<BYTE>& bytes);
std::string jsonString(const std::string& text);

}  // namespace ctl
