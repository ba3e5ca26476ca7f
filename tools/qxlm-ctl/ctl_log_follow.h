// Reads one event log as it grows, line by line, and keeps going when the monitor
// trims it. The file is opened for each look and closed at once, shared for
// reading, writing and deletion, so the reader never stands in the way of the
// monitor's writes or of a trim (in place or by copying over the log).
//
// A trim keeps the log's last whole lines and drops the rest. The reader notices
// one because the file got shorter than what it has read, or because the bytes
// just before its place are no longer the ones it read there. It then reads the
// file again from the start and resumes after the lines it has already shown:
// it remembers the last 64 KiB it showed and looks for where they end in the kept
// part. Lines are stamped to the second, so the match is sure in practice; where
// nothing matches (the kept part is all new, or the file was replaced), every line
// of the file is shown. A trim in place may be met half done, so the file is read
// twice and taken only when both reads agree.
#pragma once

#include <string>
#include <vector>

#include "ctl_event_log.h"
#include "platform/win32_api.h"

namespace ctl {

class LogFollower {
 public:
  explicit LogFollower(const LogFile& file) : file_(file) {}

  // The whole lines added since the last call (every line at the first call), in
  // the monitor's format or not (those are left out).
  std::vector<LogLine> poll();

  const LogFile& file() const { return file_; }
  // Times a trim was noticed.
  unsigned trims() const { return trims_; }

 private:
  bool readFile(std::string* bytes, ULONGLONG from, ULONGLONG* size) const;
  size_t resumeAt(const std::string& bytes) const;
  void take(const std::string& bytes, std::vector<LogLine>* lines);

  LogFile file_;
  ULONGLONG offset_ = 0;  // just after the last whole line read
  std::string shown_;     // the last bytes before offset_, at most kShownKept
  unsigned trims_ = 0;
};

}  // namespace ctl
