#include "record.h"

namespace soak {

const char* checkName(Check check) {
  switch (check) {
    case Check::Bytes: return "bytes";
    case Check::Reported: return "reported";
    case Check::Outcome: return "outcome";
    case Check::Pages: return "pages";
    case Check::Flash: return "flash";
    case Check::Replies: return "replies";
    case Check::LiveStatus: return "live-status";
    case Check::Authority: return "authority";
    case Check::Bounds: return "bounds";
    case Check::Status: return "status";
    case Check::Leaks: return "leaks";
    case Check::Log: return "log";
  }
  return "?";
}

const std::vector<Check>& allChecks() {
  static const std::vector<Check> checks = {Check::Bytes,      Check::Reported, Check::Outcome, Check::Pages,  Check::Flash,
                                            Check::Replies,    Check::LiveStatus, Check::Authority, Check::Bounds, Check::Status,
                                            Check::Leaks,      Check::Log};
  return checks;
}

bool checkByName(const std::string& name, Check* check) {
  for (Check c : allChecks()) {
    if (name == checkName(c)) {
      *check = c;
      return true;
    }
  }
  return false;
}

void Record::addBreach(Check check, DWORD at, int port, const std::string& text) {
  std::lock_guard<std::mutex> held(breachLock_);
  breaches_.push_back(Breach{check, at, port, text});
}

std::vector<Breach> Record::breaches() const {
  std::lock_guard<std::mutex> held(breachLock_);
  return breaches_;
}

}  // namespace soak
