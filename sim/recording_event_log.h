// The stand-in for the system's event log (platform/system_event_log.h): each record
// is appended as one line "<type> <event id> <text>" to <Windows dir>\Temp\qxlm-events.log,
// where tests, the soak and the demo read it back.
#pragma once

#include <string>
#include <vector>

namespace sim {

std::string eventLogPath();
// The records so far, one line each, oldest first.
std::vector<std::string> recordedEvents();
void clearRecordedEvents();

}  // namespace sim
