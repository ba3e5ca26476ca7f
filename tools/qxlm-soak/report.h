// How a breach is shown: what was breached, where and when, and the run's trace of
// that port around the moment, with the printer's calls merged in.
#pragma once

#include <ostream>
#include <vector>

#include "checks.h"
#include "run.h"

namespace soak {

// The first `traced` breaches are shown with their trace.
void printReport(std::ostream& out, RunContext& ctx, const CheckInput& in, const std::vector<Breach>& breaches,
                 unsigned traced);
// A hang, while the hung call is still running.
void printHang(std::ostream& out, RunContext& ctx, const Breach& breach);

std::string describeBreach(const Scenario& scenario, const Breach& breach);

}  // namespace soak
