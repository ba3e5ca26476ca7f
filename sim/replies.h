// The printer's status replies, built from what the printer knows at the moment a
// request arrives. Layouts (fields are a two-digit number and their data):
//   S  "S" "00" b1 b2
//   N  "N" "00" b1 b2 "01" ddd                  (error code)
//   E  "E" "00" b1 b2 "01" ddd "03" ddd         (error code, head temperature)
//   C  "C" "00" b1 b2 "01" ddd "02" dddddddd "03" ddd "04" hi lo "05" LL version
//   A  "A" nn and the one field asked for: 00 b1 b2, 01 ddd, 02 dddddddd, 03 ddd,
//      04 hi lo, 05 LL version, 08 device id, 09 LL serial number, 15 flash text
//      (only in flash mode); other fields carry no data.
// With the watchdog reported on a USB port, bytes 1 and 2 of S and C replies hold
// (enumerations << 4 | timeouts) and the watchdog version digit instead of "00".
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace sim {

struct ReplyFacts {
  BYTE status1 = 0;
  BYTE status2 = 0;
  bool watchdogBytes = false;  // replace "00" in S and C replies
  BYTE watchdog1 = 0;          // enumerations << 4 | timeouts
  BYTE watchdog2 = 0;          // the watchdog version digit
  DWORD ticketCount = 0;
  int headTempC = 0;
  int errorCode = 0;
  WORD formsLength = 0;   // hundredths of an inch
  bool withVersion = true;  // C replies carry field 05
  std::string version;
  std::string serialNumber;
  std::string deviceId;
  bool inFlashMode = false;
  std::string flashText;
};

// The answer to a status request code: 0 S, 1 N, 2 E, 3 C, 4 + n field n.
std::vector<BYTE> statusReply(BYTE code, const ReplyFacts& facts);

// "MFG:...;MDL:<model>;CMD:...;"
std::string deviceIdFor(const std::string& model);

}  // namespace sim
