// How long each entry point the spooler calls may take, in protocol milliseconds,
// given what a soak run draws (pipe clients wait at most 3 s for a live status, a
// firmware image is at most 80000 bytes, a persistent lower-port fault lasts at
// most 10 s, a printer stays busy at most 90 s). Each bound is the worst case of
// the protocol's own pauses on that path with room to spare:
//   open       10 s   settings, two threads started
//   close      90 s   3 s for the pipe thread, the status thread's last pass, and a
//                     firmware update still running on the port (two transfers,
//                     each followed by its 15 s wait)
//   start      70 s   a claimed firmware update, a live status or memory query
//                     holding the port, the ticket counter read
//   write     200 s   660 busy polls of about 225 ms each, or the status retries of
//                     a lower port that keeps failing while its fault lasts
//   end        40 s   21 polls, the 12 s wait after a USB error, the fresh read
//   memory     70 s   a claimed port, two 5 s waits for the status thread
// A call still running at three times its bound is taken for a hang: the run
// stops there and reports it.
//
// The clock runs fast, so a machine too busy to schedule the soak's threads for a
// moment stretches protocol time: a call is held to its bound only once it has also
// taken a second of real time more than the bound asks, and taken for a hang only
// after twenty seconds more.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/win32_api.h"

namespace soak {

enum class EntryPoint { Open, Close, StartDoc, Write, EndDoc, MemoryQuery };

inline const char* entryPointName(EntryPoint e) {
  switch (e) {
    case EntryPoint::Open: return "OpenPort";
    case EntryPoint::Close: return "ClosePort";
    case EntryPoint::StartDoc: return "StartDocPort";
    case EntryPoint::Write: return "WritePort";
    case EntryPoint::EndDoc: return "EndDocPort";
    case EntryPoint::MemoryQuery: return "GetPrinterDataFromPort";
  }
  return "?";
}

inline DWORD entryPointBound(EntryPoint e) {
  switch (e) {
    case EntryPoint::Open: return 10000;
    case EntryPoint::Close: return 90000;
    case EntryPoint::StartDoc: return 70000;
    case EntryPoint::Write: return 200000;
    case EntryPoint::EndDoc: return 40000;
    case EntryPoint::MemoryQuery: return 70000;
  }
  return 0;
}

const DWORD kHangFactor = 3;
const double kSlackRealMs = 1000;
const double kHangSlackRealMs = 20000;

// Real milliseconds on a steady clock, for the slack above.
inline int64_t realNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Whether a call that took `took` protocol ms and `tookReal` real ms at the clock's
// scale went past `bound`, with the real-time slack.
inline bool pastBound(DWORD took, int64_t tookReal, DWORD bound, double scale, double slackRealMs) {
  return took > bound && static_cast<double>(tookReal) > bound * scale + slackRealMs;
}

}  // namespace soak
