#include "options.h"

#include <cstdlib>
#include <cstring>

namespace demo {
namespace {

struct FaultEntry {
  const char* name;
  Fault fault;
};

const FaultEntry kFaults[] = {
    {"none", Fault::None},          {"paper-out", Fault::PaperOut},          {"jam", Fault::Jam},
    {"usb-crc", Fault::UsbCrcError}, {"silent", Fault::SilentPrinter},
};

bool isPortName(const std::string& port) {
  return port.rfind("USB", 0) == 0 || port.rfind("COM", 0) == 0 || port.rfind("LPT", 0) == 0 || port == "FILE:";
}

bool parseCount(const char* text, unsigned& value) {
  char* end = nullptr;
  const unsigned long n = strtoul(text, &end, 10);
  if (end == text || *end != '\0' || n == 0 || n > 1000) return false;
  value = static_cast<unsigned>(n);
  return true;
}

bool parseScale(const char* text, double& value) {
  char* end = nullptr;
  const double scale = strtod(text, &end);
  if (end == text || *end != '\0' || !(scale >= 0.001 && scale <= 10.0)) return false;
  value = scale;
  return true;
}

}  // namespace

const char* faultName(Fault fault) {
  for (const FaultEntry& entry : kFaults) {
    if (entry.fault == fault) return entry.name;
  }
  return "?";
}

std::string usageText() {
  return "usage: qxlm-demo [options]\n"
         "Runs the language monitor on a virtual ticket printer and prints one job through it\n"
         "as the print spooler would, showing what the spooler and the printer see.\n"
         "\n"
         "  --port NAME         USB001 (default), COM1:, LPT1: or FILE:\n"
         "  --tickets N         tickets in the job, 1 to 1000 (default 3)\n"
         "  --job FILE          print the bytes of FILE instead of the tickets\n"
         "  --fault NAME        none (default), paper-out, jam, usb-crc, silent\n"
         "  --time-scale S      real time = printer time * S; 1 is real time (default),\n"
         "                      0.01 runs a hundred times faster\n"
         "  --keep-open         after the job keep the port open and heartbeating until\n"
         "                      Ctrl-C, so that `qxlm-ctl status PORT` can ask it\n"
         "  --help              this text\n"
         "\n"
         "Exit status: 0 when the job ended as the fault scenario expects, 1 when it did\n"
         "not, 2 for a bad command line or a job file that cannot be read.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--keep-open") {
      options.keepOpen = true;
    } else if (arg == "--port" && hasValue) {
      options.port = argv[++i];
      if (!isPortName(options.port)) {
        error = "unknown port " + options.port + " (USB001, COM1:, LPT1: or FILE:)";
        return false;
      }
    } else if (arg == "--tickets" && hasValue) {
      if (!parseCount(argv[++i], options.tickets)) {
        error = "--tickets takes a number from 1 to 1000";
        return false;
      }
    } else if (arg == "--job" && hasValue) {
      options.jobFile = argv[++i];
    } else if (arg == "--fault" && hasValue) {
      const char* name = argv[++i];
      bool known = false;
      for (const FaultEntry& entry : kFaults) {
        if (strcmp(entry.name, name) == 0) {
          options.fault = entry.fault;
          known = true;
        }
      }
      if (!known) {
        error = std::string("unknown fault ") + name + " (none, paper-out, jam, usb-crc, silent)";
        return false;
      }
    } else if (arg == "--time-scale" && hasValue) {
      if (!parseScale(argv[++i], options.timeScale)) {
        error = "--time-scale takes a number from 0.001 to 10";
        return false;
      }
    } else {
      error = "unknown or incomplete option " + arg;
      return false;
    }
  }
  return true;
}

}  // namespace demo
