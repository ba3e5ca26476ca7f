// A firmware update on the demo's port, as it happens: the virtual printer takes
// its new version from the update file's name, and each stage of the update and
// its final line are told.
#pragma once

#include <string>

#include "sim/printer.h"

struct INIPORT;

namespace demo {

class UpdateView {
 public:
  UpdateView(INIPORT* port, sim::Printer& printer);

  // Tells what the update's progress has come to since the last call.
  void poll();

 private:
  INIPORT* port_;
  std::string last_;
  int stage_ = 3;
  int told_ = -1;  // the last quarter of the transfer told
};

}  // namespace demo
