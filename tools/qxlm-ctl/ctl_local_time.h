// Local time as the fleet commands write and read it: the event log's own stamp
// ("2017/01/04 14:05:09"), durations on the command line ("500ms", "2s", "5m",
// "1h", "1d"; a bare number is seconds) and the start of a --since.
#pragma once

#include <string>

#include "platform/win32_api.h"

namespace ctl {

// Now, as "yyyy/mm/dd hh:mm:ss" (sorts as text), and as ISO 8601 for JSON.
std::string localStamp();
std::string isoStamp(const std::string& stamp);

// false for a text that is not a duration.
bool parseDuration(const std::string& text, DWORD* ms);

// A --since as a stamp to compare log lines with: a date ("2017/01/04",
// "2017-01-04"), a date and time ("2017-01-04 14:05", "2017-01-04T14:05:09"), a
// time of today ("14:05"), or a duration back from now ("30m", "2h", "1d").
bool parseSince(const std::string& text, std::string* stamp);

}  // namespace ctl
