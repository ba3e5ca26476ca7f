// What the virtual printer goes through, from its timeline: the job's start and end
// and each page end as the monitor tells them, each ticket printed with the
// printer's ticket counter, faults as they fire, and the printer going busy and free
// as the replies the monitor reads show it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "sim/printer.h"

namespace demo {

class PrinterView {
 public:
  explicit PrinterView(sim::Printer& printer);

  // Tells what happened since the last call, waiting up to waitMs protocol ms for
  // something to happen.
  void poll(DWORD waitMs);

 private:
  void tell(const sim::Call& call);
  void tellPages();

  sim::Printer& printer_;
  size_t seen_ = 0;
  unsigned pages_ = 0;
  bool busy_ = false;
  std::string lastFault_;
};

}  // namespace demo
