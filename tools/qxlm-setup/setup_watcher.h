// The watcher service qxlm-watch: qxlm-ctl.exe's watch loop with --metrics, kept
// running by the service control manager as LocalService. Each returns an exit code.
#pragma once

#include "setup_actions.h"

namespace setup {

// Copies the program, makes the metrics folder writable for LocalService, creates
// or reconfigures the service with its recovery actions, registers its event
// source and starts it. Harmless twice: a running watcher is stopped and started
// again with the new program and folder.
int installWatcher(const Invocation& invocation, const Console& console);

// Stops and deletes the service, removes its program and its event source; nothing
// to do when it is not installed.
int removeWatcher(const Console& console);

}  // namespace setup
