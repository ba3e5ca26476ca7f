// The event log holds whole lines only, each of the form
//   "code","date","time","text" CR LF
// with a four-digit code and no control character in the text.
#include <cctype>
#include <set>

#include "checks.h"

namespace soak {
namespace {

bool field(const std::string& line, size_t& at, bool digitsOnly) {
  if (at >= line.size() || line[at] != '"') return false;
  const size_t end = line.find('"', at + 1);
  if (end == std::string::npos) return false;
  for (size_t i = at + 1; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (digitsOnly && !std::isdigit(c)) return false;
  }
  at = end + 1;
  return true;
}

std::string wellFormed(const std::string& line) {
  size_t at = 0;
  if (!field(line, at, true) || at != 6) return "no four-digit code";
  for (int i = 0; i < 2; ++i) {
    if (at >= line.size() || line[at] != ',') return "fields not separated";
    ++at;
    if (!field(line, at, false)) return "date or time not quoted";
  }
  if (line.size() < at + 3 || line[at] != ',' || line[at + 1] != '"' || line.back() != '"') return "text not quoted";
  for (size_t i = at + 2; i + 1 < line.size(); ++i) {
    if (static_cast<unsigned char>(line[i]) < 0x20 || line[i] == 0x7F) return "a control character in the text";
  }
  return "";
}

}  // namespace

void checkLog(const CheckInput& in) {
  std::set<std::string> seen;
  for (unsigned port = 0; port < in.logs.size(); ++port) {
    const std::string& log = in.logs[port];
    if (!seen.insert(log).second || log.empty()) continue;
    if (log.size() < 2 || log.compare(log.size() - 2, 2, "\r\n") != 0) {
      in.record->addBreach(Check::Log, 0, static_cast<int>(port), "the event log does not end with a whole line");
    }
    size_t number = 0;
    for (size_t at = 0; at < log.size();) {
      size_t end = log.find("\r\n", at);
      if (end == std::string::npos) end = log.size();
      const std::string line = log.substr(at, end - at);
      ++number;
      const std::string wrong = wellFormed(line);
      if (!wrong.empty()) {
        in.record->addBreach(Check::Log, 0, static_cast<int>(port),
                             "event log line " + std::to_string(number) + ": " + wrong + ": " +
                                 hexBytes(reinterpret_cast<const BYTE*>(line.data()), line.size(), 48));
        break;
      }
      at = end + 2;
    }
  }
}

}  // namespace soak
