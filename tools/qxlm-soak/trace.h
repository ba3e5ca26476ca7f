// The run's own account of what happened, in protocol time from the run's start:
// every step the actors took and what came back, every fault applied, every call
// the spooler saw. A breach prints the part of it around the moment it was found.
#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/win32_api.h"

namespace soak {

const int kNoPort = -1;

struct TraceLine {
  DWORD at = 0;
  int port = kNoPort;
  std::string text;
};

class Trace {
 public:
  void start();  // the run's time 0 is now
  DWORD now() const;  // protocol ms since start()
  DWORD startTick() const { return start_; }

  void add(int port, const std::string& text);
  void addAt(DWORD at, int port, const std::string& text);

  // The lines of one port (and those of no port) between two times, in time order.
  std::vector<TraceLine> between(int port, DWORD from, DWORD to) const;

 private:
  mutable std::mutex lock_;
  DWORD start_ = 0;
  std::vector<TraceLine> lines_;
};

std::string hexBytes(const BYTE* data, size_t size, size_t most = 16);

}  // namespace soak
