// What the spooler should show for a printer in a steady condition: the port status
// that the printer's two status bytes call for, worked out here on its own from the
// rules of status interpretation (low paper taken as settled, as it is after two
// agreeing readings), so that the soak does not take the monitor's word for it.
#pragma once

#include "platform/win32_api.h"

namespace soak {

// answers: the printer replies at all (a silent or switched-off printer shows off line).
DWORD expectedPortStatus(BYTE status1, BYTE status2, bool answers, DWORD lpMode);

}  // namespace soak
