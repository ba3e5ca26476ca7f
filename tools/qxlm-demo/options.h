// What a demo run does: the port, the job, the fault and the clock, from the
// command line.
#pragma once

#include <string>

namespace demo {

enum class Fault { None, PaperOut, Jam, UsbCrcError, SilentPrinter };

struct Options {
  std::string port = "USB001";
  unsigned tickets = 3;
  std::string jobFile;      // the user's own job instead of the tickets
  Fault fault = Fault::None;
  double timeScale = 1.0;   // real time = protocol time * scale
  bool keepOpen = false;    // after the job, keep the port open until interrupted
  bool help = false;
};

// Reads argv into options; false with a message in error for a bad command line.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
std::string usageText();

const char* faultName(Fault fault);

}  // namespace demo
