// qxlm-ctl log: the event log lines of this machine's printers, filtered, oldest
// first; with --follow, then every new line as it comes.
#include <algorithm>
#include <map>

#include "ctl_command_line.h"
#include "ctl_fleet.h"
#include "ctl_log_follow.h"
#include "platform/clock.h"

namespace ctl {
namespace {

class LogReader {
 public:
  LogReader(const FleetInvocation& inv, const Console& console) : inv_(inv), console_(console) {
    filter_.codes = inv.codes;
    filter_.since = inv.since;
    filter_.text = inv.text;
  }

  // Finds the log files (new ones too) and prints every line they gained, merged
  // in time order. false when the log folder cannot be read.
  bool round() {
    std::vector<LogFile> files;
    std::string error;
    if (!findLogFiles(inv_.printer, &files, &error)) {
      console_.err << "qxlm-ctl: " << error << "\n";
      return false;
    }
    for (const LogFile& file : files) {
      if (followers_.count(file.path) == 0) followers_.emplace(file.path, LogFollower(file));
      width_ = std::max(width_, file.printer.size());
    }
    std::vector<LogLine> lines;
    for (auto& entry : followers_) {
      for (LogLine& line : entry.second.poll()) {
        if (filter_.accepts(line)) lines.push_back(line);
      }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const LogLine& a, const LogLine& b) { return a.stamp() < b.stamp(); });
    for (const LogLine& line : lines) console_.out << formatLogLine(line, inv_.json, width_);
    console_.out.flush();
    return true;
  }

  bool foundAny() const { return !followers_.empty(); }

 private:
  const FleetInvocation& inv_;
  const Console& console_;
  LogFilter filter_;
  std::map<std::string, LogFollower> followers_;
  size_t width_ = 0;
};

}  // namespace

int runLog(const FleetInvocation& inv, const Console& console) {
  LogReader reader(inv, console);
  if (!reader.round()) return EXIT_FAILED;
  if (!inv.follow) {
    if (!reader.foundAny()) {
      console.err << "qxlm-ctl: no event log" << (inv.printer.empty() ? "" : " of " + inv.printer)
                  << " on this machine (the monitor writes one when \"DRWenable\" is set)\n";
      return EXIT_NO_LOG;
    }
    return EXIT_OK;
  }
  for (;;) {
    clockSleep(inv.intervalMs);
    reader.round();
  }
}

}  // namespace ctl
