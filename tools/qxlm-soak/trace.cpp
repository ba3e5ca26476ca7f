#include "trace.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"

namespace soak {

void Trace::start() {
  std::lock_guard<std::mutex> held(lock_);
  start_ = clockTickCount();
  lines_.clear();
}

DWORD Trace::now() const { return clockTickCount() - start_; }

void Trace::add(int port, const std::string& text) { addAt(now(), port, text); }

void Trace::addAt(DWORD at, int port, const std::string& text) {
  std::lock_guard<std::mutex> held(lock_);
  lines_.push_back(TraceLine{at, port, text});
}

std::vector<TraceLine> Trace::between(int port, DWORD from, DWORD to) const {
  std::vector<TraceLine> out;
  {
    std::lock_guard<std::mutex> held(lock_);
    for (const TraceLine& line : lines_) {
      if (line.at >= from && line.at <= to && (port == kNoPort || line.port == port || line.port == kNoPort)) {
        out.push_back(line);
      }
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const TraceLine& a, const TraceLine& b) { return a.at < b.at; });
  return out;
}

std::string hexBytes(const BYTE* data, size_t size, size_t most) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < size && i < most; ++i) {
    std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
    out += byte;
  }
  if (size > most) out += " ... (" + std::to_string(size) + " bytes)";
  return out;
}

}  // namespace soak
