// Helpers shared by the foundation tests: a registry root of the test's own, port
// records made the way the port code makes them, log files and captured traces.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "port/port_record.h"

typedef std::basic_string<WCHAR> WideString;

WideString widen(const std::string& text);

// HKEY_LOCAL_MACHINE\SOFTWARE\qxlm-tests\<name>, deleted when made and when done.
class TestKey {
 public:
  explicit TestKey(const std::string& name);
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  LPWSTR root() { return &root_[0]; }
  BOOL exists() const;
  void set(const char* name, DWORD type, const void* data, DWORD size);
  void setDword(const char* name, DWORD value) { set(name, REG_DWORD, &value, sizeof value); }
  // FALSE when the value is missing; otherwise its type and its first 4 bytes.
  BOOL query(const char* name, DWORD* type, DWORD* value, DWORD* size = nullptr) const;
  void remove();

 private:
  WideString root_;
};

struct PortDeleter {
  void operator()(INIPORT* pIniPort) const;
};
typedef std::unique_ptr<INIPORT, PortDeleter> TestPort;

// A record value-initialised with its critical sections ready and the printer's
// wide and narrow names set, as the port code creates it.
TestPort makeTestPort(const WideString& printerName);

// Whole files through the platform's file calls, so that Windows paths work on both builds.
BOOL fileExists(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
void deleteFile(const std::string& path);

// Collects every debugger output line while it lives.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::string> lines;
};
