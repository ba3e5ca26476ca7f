// The monitor's event log as it grows: each line written since the tail began is
// told once, as "event log: ...".
#pragma once

#include <string>

#include "platform/win32_api.h"

namespace demo {

class EventLogTail {
 public:
  // Starts at the file's present end, so only this run's lines are told.
  explicit EventLogTail(const std::string& path);

  void poll();
  const std::string& path() const { return path_; }
  bool sawCode(const std::string& code) const;  // a told line carries this event code

 private:
  std::string path_;
  DWORD offset_ = 0;
  std::string partial_;
  std::string told_;
};

}  // namespace demo
