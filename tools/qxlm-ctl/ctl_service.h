// qxlm-ctl service: the watch loop with --metrics, run unattended. Started by the
// service control manager it runs as the Windows service "qxlm-watch" and tells
// its start, its stop, its errors and each change of a port to the Application
// event log (source "qxlm-watch"); started from a console, or off Windows, it runs
// in the foreground and writes the same lines to standard output and error.
#pragma once

#include <atomic>

#include "ctl_fleet_command_line.h"
#include "ctl_run.h"

namespace ctl {

#define CTL_WATCH_SERVICE_NAME "qxlm-watch"

// As a service when the service control manager started the process, else in the
// foreground until Ctrl-C (a termination signal off Windows).
int runService(const FleetInvocation& invocation, const Console& console);

// Rounds of the watch every interval until stop is set: "started" and "stopped"
// lines on out, port changes on out, errors on err.
int serveWatch(const FleetInvocation& invocation, const Console& console, const std::atomic<bool>& stop);

}  // namespace ctl
