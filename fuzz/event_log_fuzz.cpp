// The event log on odd content: entry texts of any bytes and length, printer names
// that make odd file names, status words, platform error codes and printer replies
// (the serial number, the head temperature), over a log file that already holds
// anything, trimmed at small sizes. Every call leaves the file ending in a whole line
// and trimmed within its bounds.
//
// Input: an options byte (the port, the size bounds), the file's earlier content (a
// length word and the bytes), the lower port's reads (fuzz_support.h), then entries:
// a kind byte and its argument (a text ended by a NUL, or a status word).
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "log/event_log.h"
#include "log/log_lock.h"
#include "port/settings.h"
#include "sim/recording_spooler.h"

namespace {

// Printer names that make odd log file names: empty, separators, dots, quotes,
// control and high bytes, and one too long for the path.
const char* const kPrinterNames[] = {"Ticket printer", "", "..", "a\\b/c:d*e?f\"g<h>i|j", "\x01\x7f\xff\x81\x5c",
                                     "%s%n%x"};

std::string longName() { return std::string(700, 'L'); }

// Read under the log's own lock: the port's status thread writes to the same log
// (the printer requests the writers queue), and a trim it has under way shows the
// file half moved.
std::string wholeFile(const char* path) {
  std::string content;
  LogFileLock* const lock = EnterLogFileLock(path);
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    char block[4096];
    DWORD got = 0;
    while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) content.append(block, got);
    CloseHandle(h);
  }
  if (lock != nullptr) LeaveLogFileLock(lock);
  return content;
}

void replaceFile(const char* path, const std::vector<BYTE>& content) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  if (!content.empty()) WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &done, nullptr);
  CloseHandle(h);
}

// What one writer call may leave: the earlier content, perhaps trimmed to its end,
// with whole lines appended; no larger than what was kept plus the lines written.
void checkAfterWrite(const char* path, const std::string& before, size_t lines) {
  const std::string after = wholeFile(path);
  const bool trimmedOnly =
      after.size() <= before.size() && before.compare(before.size() - after.size(), after.size(), after) == 0;
  FUZZ_CHECK(trimmedOnly || (after.size() >= 2 && after.compare(after.size() - 2, 2, "\r\n") == 0));
  const size_t kept =
      before.size() > Settings.DRWMaxFileSize ? static_cast<size_t>(Settings.DRWMinFileSize) : before.size();
  FUZZ_CHECK(after.size() <= kept + lines * LOG_LINE_SIZE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A USB port for each odd name, one whose name does not fit a path, and a serial port.
  static const size_t kNames = sizeof kPrinterNames / sizeof kPrinterNames[0];
  static const size_t kPorts = kNames + 2;
  static INIPORT** ports = [] {
    fuzz::startMonitor("event_log", {{"DRWenable", 1}, {"DRWdebugMask", 0x3F}});
    static INIPORT* opened[kPorts];
    for (size_t i = 0; i < kNames; ++i) {
      opened[i] = fuzz::openScriptedPort(("USB" + std::to_string(i)).c_str(), kPrinterNames[i]);
    }
    opened[kNames] = fuzz::openScriptedPort("USB9", longName().c_str());
    opened[kNames + 1] = fuzz::openScriptedPort("COM9:", kPrinterNames[0]);
    return opened;
  }();

  fuzz::Input input(data, size);
  const BYTE options = input.byte();
  INIPORT* port = ports[options % kPorts];
  Settings.DRWMaxFileSize = 64u << ((options >> 3) & 7);
  Settings.DRWMinFileSize = Settings.DRWMaxFileSize >> (1 + ((options >> 6) & 3));
  Settings.DRWdebugMask = 0x3F;

  char path[LOG_PATH_SIZE];
  const BOOL havePath = BuildLogFilePath(port, path, sizeof path);
  FUZZ_CHECK(!havePath || strnlen(path, sizeof path) < sizeof path);
  const std::vector<BYTE> earlier = input.bytes(input.word() % 8192);
  if (havePath) replaceFile(path, earlier);
  fuzz::scriptReads(fuzz::readScript(input, 6));

  for (int entries = 0; entries < 8 && !input.empty(); ++entries) {
    const std::string before = havePath ? wholeFile(path) : std::string();
    const BYTE kind = input.byte();
    size_t lines = 1;
    switch (kind % 4) {
      case 0: {
        const std::string text = input.text();
        char code[5];
        snprintf(code, sizeof code, "%04u", static_cast<unsigned>(kind % 28));
        TextLogFile(port, text.c_str(), code, DRW_ERRORS);
        break;
      }
      case 1:
        port->status.StatusReadFailed = (kind >> 2) & 1;
        port->status.printerState = static_cast<PRINTER_STATE>((kind >> 3) & 7);
        port->status.LastWinError = input.word() | (static_cast<DWORD>(kind >> 6) * 40000u);
        ErrorLogFile(port, input.word(), (kind >> 7) & 1);
        lines = 12;
        break;
      case 2:
        port->status.StatusReadFailed = (kind >> 2) & 1;
        port->status.printerState = static_cast<PRINTER_STATE>((kind >> 3) & 7);
        port->status.SpecificRequestSent = (kind >> 6) & 1;
        DRWlogger(port, input.word(), (kind & 0x80) ? DRW_PIPE : DRW_POLL);
        lines = 12;
        break;
      default: {
        char text[ERROR_TEXT_SIZE];
        GetErrorText(static_cast<DWORD>(input.word()) << (kind >> 4), text);
        FUZZ_CHECK(strnlen(text, sizeof text) < sizeof text);
        lines = 0;
        break;
      }
    }
    // A read of the scripted port may itself log (a watchdog counter change).
    if (havePath && lines != 0) checkAfterWrite(path, before, lines + 2);
  }
  port->status.printerState = PRINTER_STATE_HEARTBEAT;
  port->status.StatusReadFailed = FALSE;
  sim::spooler().reset();
  return 0;
}
