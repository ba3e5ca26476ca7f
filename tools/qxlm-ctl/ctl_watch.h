// qxlm-ctl watch: looks at a set of ports once a round and tells what changed.
#pragma once

#include <string>
#include <vector>

#include "ctl_fleet_command_line.h"
#include "ctl_metrics.h"
#include "ctl_port_selection.h"
#include "ctl_run.h"

namespace ctl {

class PortWatch {
 public:
  PortWatch(const FleetInvocation& invocation, const Console& console);

  // Looks at every port once, prints a line per change and keeps the metrics file
  // current.
  void round();

  // The --until condition holds on every port of the last round (and there was one).
  bool conditionHolds() const;

 private:
  struct Port {
    std::string name;
    std::vector<const StateWord*> words;
    PortMetrics metrics;
  };

  void tell(const char* event, const Port& port, const std::vector<const StateWord*>* before, long ticketsBefore);
  void look(const std::string& name);

  const FleetInvocation& inv_;
  const Console& console_;
  PortSelection selection_;
  std::vector<Port> ports_;  // in the order they were first seen
  bool first_ = true;
  std::string listError_;     // told once until it changes
  std::string metricsError_;
};

// Whether a condition of --until holds for a port's words.
bool conditionHoldsFor(const std::string& condition, const std::vector<const StateWord*>& words);

}  // namespace ctl
