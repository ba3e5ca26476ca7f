#include "ctl_event_log.h"

#include <algorithm>

#include "ctl_listing.h"
#include "ctl_local_time.h"
#include "ctl_status.h"
#include "ctl_text.h"
#include "json_writer.h"
#include "platform/win32_api.h"

namespace ctl {
namespace {

const char kLogExtension[] = ".log";

bool digitsAt(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// The printer's name as the file name spells it matches the name asked for when
// they are equal without regard to case, a "_" of the file standing for any
// character a file name cannot hold.
bool printerMatches(const std::string& asked, const std::string& spelt) {
  if (asked.size() != spelt.size()) return false;
  for (size_t i = 0; i < asked.size(); ++i) {
    if (spelt[i] != '_' && !equalsIgnoringCase(asked.substr(i, 1), spelt.substr(i, 1))) return false;
  }
  return true;
}

std::string padded(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

bool parseLogLine(const std::string& raw, LogLine* entry) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // "dddd","yyyy/mm/dd","hh:mm:ss","text": the text runs to the last quote, and
  // quotes inside it are written as they are.
  if (line.size() < 33 || line[0] != '"' || !digitsAt(line, 1, 4) || line.compare(5, 3, "\",\"") != 0 ||
      !digitsAt(line, 8, 4) || line[12] != '/' || !digitsAt(line, 13, 2) || line[15] != '/' ||
      !digitsAt(line, 16, 2) || line.compare(18, 3, "\",\"") != 0 || !digitsAt(line, 21, 2) || line[23] != ':' ||
      !digitsAt(line, 24, 2) || line[26] != ':' || !digitsAt(line, 27, 2) || line.compare(29, 3, "\",\"") != 0 ||
      line.back() != '"') {
    return false;
  }
  entry->code = line.substr(1, 4);
  entry->date = line.substr(8, 10);
  entry->time = line.substr(21, 8);
  entry->text = line.substr(32, line.size() - 33);
  return true;
}

bool findLogFiles(const std::string& printer, std::vector<LogFile>* files, std::string* error) {
  files->clear();
  char windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD computerSize = sizeof computer;
  if (length == 0 || length >= sizeof windows || !GetComputerNameA(computer, &computerSize)) {
    *error = "cannot tell the Windows folder or the computer's name (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  const std::string folder = std::string(windows, length) + "\\Temp";
  std::vector<std::string> names;
  if (!listFiles(folder, &names)) {
    *error = "cannot read the log folder " + folder;
    return false;
  }
  const std::string suffix = "_" + std::string(computer) + kLogExtension;
  for (const std::string& name : names) {
    if (name.size() <= suffix.size() || !equalsIgnoringCase(name.substr(name.size() - suffix.size()), suffix)) {
      continue;
    }
    const std::string spelt = name.substr(0, name.size() - suffix.size());
    if (!printer.empty() && !printerMatches(printer, spelt)) continue;
    files->push_back(LogFile{folder + "\\" + name, spelt});
  }
  std::sort(files->begin(), files->end(), [](const LogFile& a, const LogFile& b) { return a.path < b.path; });
  return true;
}

bool LogFilter::accepts(const LogLine& line) const {
  if (!codes.empty() && std::find(codes.begin(), codes.end(), line.code) == codes.end()) return false;
  if (!since.empty() && line.stamp() < since) return false;
  return text.empty() || containsIgnoringCase(line.text, text);
}

namespace {

// Anyone may write a log file before the monitor does: a control byte in a line
// (an escape sequence for the terminal) is shown as "?", never sent on.
std::string printable(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace

std::string formatLogLine(const LogLine& line, bool json, size_t printerWidth) {
  if (json) {
    tools::JsonWriter json;
    json.beginObject().member("time", isoStamp(line.stamp())).member("printer", line.printer);
    return json.member("code", line.code).member("text", line.text).endObject().text() + "\n";
  }
  return printable(line.stamp() + "  " + line.code + "  " + padded(line.printer, printerWidth) + "  " + line.text) +
         "\n";
}

}  // namespace ctl
