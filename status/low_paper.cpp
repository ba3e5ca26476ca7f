#include "port/debug_trace.h"
#include "port/port_record.h"
#include "status/status_interpret.h"
#include "status/status_reply.h"

void processLMLowPaper(INIPORT* pIniPort, DWORD status) {
  DebugTraceF(pIniPort, TRACE_INFO, "processLMLowPaper - Status = %X", static_cast<unsigned>(status));
  const BOOL sensorLow = (status & LOW_PAPER) != 0;
  const BOOL flagLow = pIniPort->status.LowPaper;
  if (sensorLow != flagLow) {
    const BYTE count = static_cast<BYTE>(pIniPort->status.LowPaperCount + 1);
    if (count >= 2) {
      pIniPort->status.LowPaper = sensorLow;
      pIniPort->status.LowPaperCount = 0;
      DebugTrace(pIniPort, TRACE_INFO, sensorLow ? "processLMLowPaper - Found low paper" : "processLMLowPaper - Found high paper");
    } else {
      pIniPort->status.LowPaperCount = count;
    }
  } else {
    pIniPort->status.LowPaperCount = 0;
  }
  DebugTrace(pIniPort, TRACE_INFO,
             pIniPort->status.LowPaper ? "processLMLowPaper - On Exit low paper" : "processLMLowPaper - On Exit high paper");
}

void lowPaperReading(INIPORT* pIniPort, const BYTE* reply, DWORD count) {
  if (count < FAKE_STATUS_LENGTH || !isSNECReply(reply[0])) return;
  processLMLowPaper(pIniPort, static_cast<DWORD>(reply[3]) * 256 + reply[4]);
}
