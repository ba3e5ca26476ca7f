#include "ctl_service.h"

#include <algorithm>

#include "ctl_command_line.h"
#include "ctl_watch.h"
#include "platform/clock.h"

namespace ctl {
namespace {

// A stop is noticed within this long between rounds; a round itself asks each
// port once and ends within the ports' answer limits.
const DWORD kStopPollMs = 100;

std::string portsText(const std::vector<std::string>& ports) {
  if (ports.empty()) return "every port";
  std::string text;
  for (const std::string& port : ports) text += (text.empty() ? "" : ", ") + port;
  return text;
}

}  // namespace

int serveWatch(const FleetInvocation& inv, const Console& console, const std::atomic<bool>& stop) {
  console.out << CTL_WATCH_SERVICE_NAME " started: watching " << portsText(inv.ports) << " every "
              << inv.intervalMs / 1000.0 << " s, metrics in " << inv.metricsPath << "\n";
  console.out.flush();
  PortWatch watch(inv, console);
  while (!stop.load(std::memory_order_relaxed)) {
    watch.round();
    for (DWORD waited = 0; waited < inv.intervalMs && !stop.load(std::memory_order_relaxed); waited += kStopPollMs) {
      clockSleep(std::min(kStopPollMs, inv.intervalMs - waited));
    }
  }
  console.out << CTL_WATCH_SERVICE_NAME " stopped\n";
  console.out.flush();
  return EXIT_OK;
}

}  // namespace ctl
