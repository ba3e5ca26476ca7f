// Helpers of the fleet tests: qxlm-ctl's output as lines, an output another thread
// may read while a command writes it, and ports of the test's own on virtual
// printers with the clock sped up.
#pragma once

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "pipe_test_support.h"

std::vector<std::string> outputLines(const std::string& text);
bool contains(const std::string& text, const std::string& part);

// Text written from one thread, read whole from another.
class SharedOutput : public std::streambuf {
 public:
  std::string text() const;
  // Waits, at most limitMs of real time, until the text holds part.
  bool waitFor(const std::string& part, DWORD limitMs) const;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

class FleetPortTest : public PipePortTest {
 protected:
  FleetPortTest() : PipePortTest(0.01) {}
  // A port on a fresh virtual printer, its status thread running; with the
  // heartbeat, the stored status follows the printer.
  INIPORT* openReady(const std::string& name, bool heartbeat);
  // Waits until the port's stored status has status byte 1 equal to status1.
  bool storedStatusShows(const std::string& name, BYTE status1);
};
