// What the fuzz targets share: the fuzzer's input read from the front, a monitor
// started quietly on a fast clock in a Windows folder of its own, and a lower port
// monitor whose reads return what the input scripts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "port/port_record.h"

namespace fuzz {

// The input, consumed from the front; once it is used up every read gives 0 or empty.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  size_t left() const { return size_ - pos_; }
  uint8_t byte();
  uint16_t word();  // big-endian
  std::vector<BYTE> bytes(size_t count);
  std::vector<BYTE> rest();
  // The bytes up to the next NUL (which is consumed) or the end.
  std::string text();

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Once per process: a temporary Windows folder, the protocol
// clock a million times faster, every trace line formatted and dropped, and the
// monitor started on a registry root of its own with these values in it (the
// heartbeat off unless a value says otherwise). Returns the root.
struct RegistryValue {
  const char* name;
  DWORD value;
};
LPCWSTR startMonitor(const char* target, const std::vector<RegistryValue>& values);

// Writes one REG_DWORD setting under the root and reads the settings again.
void setSetting(LPCWSTR root, const char* name, DWORD value);

std::u16string widen(const std::string& text);

// One read of the scripted lower port: error 0 is a good read of bytes (cut to the
// caller's buffer; claimed as the full length when overstate is set, as a faulty
// lower monitor might), any other error a failed read with that last error.
struct ScriptedRead {
  DWORD error = 0;
  std::vector<BYTE> bytes;
  bool overstate = false;
};

// The reads the scripted port hands out in order; once they are used up each read
// succeeds with 0 bytes. Vendor requests, writes and device-id queries succeed.
void scriptReads(std::vector<ScriptedRead> reads);
// Reads the script from the input: a count byte, then per read a kind byte (its low
// two bits: good, good but overstated, failed with ERROR_CRC, failed with
// ERROR_TIMEOUT), a big-endian length word (bounded to 2048) and the bytes.
std::vector<ScriptedRead> readScript(Input& input, size_t maxReads);
MONITOR scriptedLowerMonitor();

// A port opened as the spooler opens one (a name with "COM" is a serial link),
// over the scripted lower port; it stays open for the life of the process.
INIPORT* openScriptedPort(const char* portName, const char* printerName);

// Aborts with a message: the fuzzer keeps the input that led here.
[[noreturn]] void fail(const char* what);
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) ::fuzz::fail(#condition); \
  } while (0)

}  // namespace fuzz
