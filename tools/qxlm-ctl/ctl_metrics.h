// The metrics file of watch --metrics, in the Prometheus text format that the
// node and Windows exporters' text-file collectors read: per port whether its pipe
// and its printer answer, every state word as a 0/1 gauge labelled with its IPP
// keyword, the IPP printer-state, the ticket counter, the head temperature, and
// the last firmware update's outcome.
#pragma once

#include <string>
#include <vector>

#include "ctl_port_view.h"

namespace ctl {

struct PortMetrics {
  PortView view;
  // The last values a live complete status gave (they outlast a round without one).
  bool hasTickets = false;
  long tickets = 0;
  bool hasHeadTemperature = false;
  int headTempC = 0;
  std::string firmware;
};

std::string metricsText(const std::vector<PortMetrics>& ports);

// Writes the file under a temporary name beside it and renames it over the old
// one, so a collector never reads half a file.
bool writeMetricsFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace ctl
