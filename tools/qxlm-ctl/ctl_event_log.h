// The monitor's event log files as qxlm-ctl reads them: one file per printer and
// computer, "<Windows folder>\Temp\<printer>_<computer>.log", one line per event
// ("0021","2017/01/04","14:05:09","Ready Heart Beat" CR LF), filtered and printed
// aligned or as JSON.
#pragma once

#include <string>
#include <vector>

namespace ctl {

struct LogFile {
  std::string path;
  std::string printer;  // as the file name spells it ("_" for what a name cannot hold)
};

struct LogLine {
  std::string printer;
  std::string code;  // four digits
  std::string date;  // yyyy/mm/dd
  std::string time;  // hh:mm:ss
  std::string text;
  std::string stamp() const { return date + " " + time; }
};

// false for a line that is not in the monitor's format.
bool parseLogLine(const std::string& line, LogLine* entry);

// The event logs of this machine; only the one of printer when it is not empty (the
// printer's name as given or as the file spells it, case ignored). false with
// *error set when the log folder cannot be read.
bool findLogFiles(const std::string& printer, std::vector<LogFile>* files, std::string* error);

struct LogFilter {
  std::vector<std::string> codes;  // any of these; all when empty
  std::string since;               // a stamp; lines before it are left out
  std::string text;                // a part of the text, case ignored
  bool accepts(const LogLine& line) const;
};

// One line of output: aligned columns (the printer's padded to printerWidth), or a
// JSON object; with its line end.
std::string formatLogLine(const LogLine& line, bool json, size_t printerWidth);

}  // namespace ctl
