#include "expected_status.h"

namespace soak {

DWORD expectedPortStatus(BYTE status1, BYTE status2, bool answers, DWORD lpMode) {
  if (!answers) return PORT_STATUS_OFFLINE;
  const bool lowPaper = (status2 & 0x01) != 0;
  // In low-paper busy mode the read path marks the reply not ready.
  if (lpMode != 0 && lowPaper) status1 |= 0x80;
  // Not ready with nothing to say why: the printer counts as taken off line.
  if ((status1 & 0x80) != 0 && (status1 & 0x3F) == 0 && (status2 & 0xD4) == 0) status1 |= 0x20;
  const unsigned word = (static_cast<unsigned>(status1) << 8) | (status2 & 0xBC) | (lowPaper ? 1u : 0u);
  const bool error = (word & 0x2F00) != 0 || (word & 0x9000) == 0x9000 || (lowPaper && (lpMode & 1) != 0);
  DWORD status = 0;
  if (error) {
    if (lowPaper) status = PORT_STATUS_PAPER_OUT;
    if (word & 0x2000) status = PORT_STATUS_OFFLINE;
    if (word & 0x0100) status = PORT_STATUS_PAPER_OUT;
    if (word & 0x0200) status = PORT_STATUS_DOOR_OPEN;
    if (word & 0x0C00) status = PORT_STATUS_PAPER_JAM;
    if ((word & 0x9000) == 0x9000) status = PORT_STATUS_PAPER_JAM;
    return status;
  }
  if (word & 0x0008) status = PORT_STATUS_OUTPUT_BIN_FULL;
  if (lowPaper) status = PORT_STATUS_PAPER_PROBLEM;
  if (word & 0x1000) status = PORT_STATUS_PAPER_JAM;
  return status;
}

}  // namespace soak
