// The event log stand-in: records appended to a file under one lock.
#include "sim/recording_event_log.h"

#include <cstdio>
#include <mutex>

#include "platform/system_event_log.h"
#include "sim/text.h"

namespace sim {
namespace {

std::mutex& fileLock() {
  static std::mutex* lock = new std::mutex;  // left alive: monitor threads may report at exit
  return *lock;
}

}  // namespace

std::string eventLogPath() {
  char windows[MAX_PATH] = "";
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  std::string dir = n > 0 && n < sizeof windows ? std::string(windows, n) : std::string(".");
  const char separator = dir.find('\\') != std::string::npos ? '\\' : '/';
  return dir + separator + "Temp" + separator + "qxlm-events.log";
}

std::vector<std::string> recordedEvents() {
  std::lock_guard<std::mutex> held(fileLock());
  std::vector<std::string> lines;
  FILE* file = std::fopen(eventLogPath().c_str(), "rb");
  if (file == nullptr) return lines;
  std::string line;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  std::fclose(file);
  return lines;
}

void clearRecordedEvents() {
  std::lock_guard<std::mutex> held(fileLock());
  std::remove(eventLogPath().c_str());
}

}  // namespace sim

BOOL systemEventReport(WORD type, DWORD eventId, LPCWSTR text) {
  std::string line = std::to_string(type) + " " + std::to_string(eventId) + " " + sim::narrow(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::lock_guard<std::mutex> held(sim::fileLock());
  FILE* file = std::fopen(sim::eventLogPath().c_str(), "ab");
  if (file == nullptr) return FALSE;
  const bool ok = std::fprintf(file, "%s\n", line.c_str()) > 0;
  return std::fclose(file) == 0 && ok;
}
