// The command line of qxlm-soak.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "record.h"

namespace soak {

struct Options {
  uint64_t firstSeed = 1;
  uint64_t runs = 1;
  std::vector<uint64_t> seeds;  // when given, exactly these seeds, in order
  double hours = 0;  // when set, seeds run from firstSeed on until the time is up
  bool onlyGiven = false;
  std::set<unsigned> only;  // events kept in a replay
  bool shrink = false;
  std::set<Check> skipped;
  double timeScale = 0.01;
  bool monitorTrace = false;
  unsigned traced = 3;
  uint64_t window = 20000;
  bool list = false;
  bool quiet = false;
  bool help = false;
};

// False with a message in error when the command line is not understood.
bool parseOptions(int argc, char** argv, Options* options, std::string* error);

std::string usageText();

}  // namespace soak
