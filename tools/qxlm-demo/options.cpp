#include "options.h"

#include <cstdlib>
#include <vector>

#include "option_table.h"

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

// The options of one run, writing into options.
tools::OptionTable optionTable(Options& options) {
  return {
      {{"--port"}, "NAME", "USB001 (default), COM1:, LPT1: or FILE:",
       [&options](const std::string& value, std::string* error) {
         options.port = value;
         if (isPortName(value)) return true;
         *error = "unknown port " + value + " (USB001, COM1:, LPT1: or FILE:)";
         return false;
       }},
      {{"--tickets"}, "N", "tickets in the job, 1 to 1000 (default 3)",
       [&options](const std::string& value, std::string* error) {
         if (parseCount(value.c_str(), options.tickets)) return true;
         *error = "--tickets takes a number from 1 to 1000";
         return false;
       }},
      {{"--job"}, "FILE", "print the bytes of FILE instead of the tickets",
       [&options](const std::string& value, std::string*) {
         options.jobFile = value;
         return true;
       }},
      {{"--fault"}, "NAME", "none (default), paper-out, jam, usb-crc, silent",
       [&options](const std::string& value, std::string* error) {
         for (const FaultEntry& entry : kFaults) {
           if (value == entry.name) {
             options.fault = entry.fault;
             return true;
           }
         }
         *error = "unknown fault " + value + " (none, paper-out, jam, usb-crc, silent)";
         return false;
       }},
      {{"--time-scale"}, "S", "real time = printer time * S; 1 is real time (default),\n0.01 runs a hundred times faster",
       [&options](const std::string& value, std::string* error) {
         if (parseScale(value.c_str(), options.timeScale)) return true;
         *error = "--time-scale takes a number from 0.001 to 10";
         return false;
       }},
      {{"--keep-open"}, "",
       "after the job keep the port open and heartbeating until\nCtrl-C, so that `qxlm-ctl status PORT` can ask it",
       [&options](const std::string&, std::string*) {
         options.keepOpen = true;
         return true;
       }},
      {{"-h", "--help"}, "", "this text",
       [&options](const std::string&, std::string*) {
         options.help = true;
         return true;
       }},
  };
}

}  // namespace

const char* faultName(Fault fault) {
  for (const FaultEntry& entry : kFaults) {
    if (entry.fault == fault) return entry.name;
  }
  return "?";
}

std::string usageText() {
  Options ignored;
  return "usage: qxlm-demo [options]\n"
         "Runs the language monitor on a virtual ticket printer and prints one job through it\n"
         "as the print spooler would, showing what the spooler and the printer see.\n"
         "\n" +
         tools::optionsHelp(optionTable(ignored), 22) +
         "\n"
         "Exit status: 0 when the job ended as the fault scenario expects, 6 when it did\n"
         "not, 1 for a bad command line or a job file that cannot be read.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> positional;
  if (!tools::parseOptions(optionTable(options), std::vector<std::string>(argv + 1, argv + argc), &positional, &error)) {
    return false;
  }
  if (positional.empty()) return true;
  error = "unexpected argument " + positional[0];
  return false;
}

}  // namespace demo
