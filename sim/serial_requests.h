// On a serial link the printer's requests arrive in the written data itself:
//   "<lm><SS>"            heartbeat: a short status reply
//   ESC I S/N/E/C         a status reply of that type
//   ESC I A n             field n (n = 0 ... 15)
//   ESC I A c + 7 bytes   print an F0 ticket
//   "<SA08>"              the device id
// Every other byte is job data. The line carries bytes, not writes: a request may
// arrive in pieces over several writes.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32_api.h"

namespace sim {

struct SerialItem {
  enum class Kind { JobData, StatusRequest, DeviceIdQuery };
  Kind kind = Kind::JobData;
  BYTE code = 0;            // StatusRequest: the status request code (0 ... 19, 41)
  std::vector<BYTE> bytes;  // the bytes as written
};

// Splits bytes from the line into requests and runs of job data, in order. When
// unfinished is given, trailing bytes that begin a request more bytes would complete
// are left out and *unfinished is their count.
std::vector<SerialItem> splitSerialWrite(const BYTE* data, size_t size, size_t* unfinished = nullptr);

}  // namespace sim
