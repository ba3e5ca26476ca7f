// Helpers shared by the foundation tests: port records made the way the port code
// makes them, and whole files.
#pragma once

#include <memory>
#include <string>

#include "port/port_record.h"
#include "tests/support/test_key.h"
#include "tests/support/trace_capture.h"

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
