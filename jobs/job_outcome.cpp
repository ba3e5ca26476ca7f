// The one settlement of a job's outcome, and the port's record of the last jobs.
#include "jobs/job_outcome.h"

#include <cstdio>
#include <cstring>

#include "jobs/document.h"
#include "log/event_log.h"
#include "platform/spooler.h"
#include "platform/system_event_log.h"
#include "port/debug_trace.h"
#include "port/job_ring.h"
#include "port/port_record.h"
#include "port/settings.h"

namespace {

#define OUTCOME_TEXT_SIZE 768

void toWide(LPCSTR text, WCHAR* wide, size_t size) {
  size_t i = 0;
  for (; text[i] != 0 && i + 1 < size; ++i) wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
  wide[i] = 0;
}

// The job shows why in the spooler's queue: its level-1 status text. The rest of
// the record is the spooler's own, read back so that only the text changes.
void setNotPrintedStatus(INIPORT* pIniPort, INIJOB* pIniJob, LPCSTR cause) {
  char text[OUTCOME_TEXT_SIZE];
  snprintf(text, sizeof text, "%s%s", JOB_NOT_PRINTED_PREFIX, cause);
  WCHAR wide[OUTCOME_TEXT_SIZE];
  toWide(text, wide, OUTCOME_TEXT_SIZE);

  DWORD needed = 0;
  spoolerGetJob(pIniJob->hPrinter, pIniJob->JobId, 1, nullptr, 0, &needed);
  LPBYTE block = needed >= sizeof(JOB_INFO_1W) ? static_cast<LPBYTE>(AllocSplMem(needed)) : nullptr;
  JOB_INFO_1W fallback = {};
  JOB_INFO_1W* info = &fallback;
  if (block != nullptr && spoolerGetJob(pIniJob->hPrinter, pIniJob->JobId, 1, block, needed, &needed)) {
    info = reinterpret_cast<JOB_INFO_1W*>(block);
  }
  info->JobId = pIniJob->JobId;
  info->pStatus = wide;
  info->Position = JOB_POSITION_UNSPECIFIED;
  if (!spoolerSetJob(pIniJob->hPrinter, pIniJob->JobId, 1, reinterpret_cast<LPBYTE>(info), 0)) {
    DebugTrace(pIniPort, TRACE_ERROR, "settleJobOutcome - SetJob status text failed");
  }
  FreeSplMem(block);
}

// The operator's one trace of a ticket that did not print, kept whatever the
// diagnostic settings say.
void recordNotPrinted(INIPORT* pIniPort, DWORD jobId, LPCSTR cause) {
  char text[OUTCOME_TEXT_SIZE];
  snprintf(text, sizeof text, "Job %u on %s not printed: %s, %u of %u bytes delivered", static_cast<unsigned>(jobId),
           pIniPort->PortNameA, cause, static_cast<unsigned>(pIniPort->doc.JobBytesDelivered),
           static_cast<unsigned>(pIniPort->doc.JobBytesHanded));
  DebugTrace(pIniPort, TRACE_ERROR, text);
  WCHAR wide[OUTCOME_TEXT_SIZE];
  toWide(text, wide, OUTCOME_TEXT_SIZE);
  if (!systemEventReport(EVENTLOG_ERROR_TYPE, QX_EVENT_JOB_NOT_PRINTED, wide)) {
    DebugTrace(pIniPort, TRACE_ERROR, "settleJobOutcome - event record failed");
  }
  if (Settings.DRWenable) TextLogFile(pIniPort, text, JOB_NOT_PRINTED_LOG_ID, DRW_ERRORS);
}

}  // namespace

void beginJobOutcome(INIPORT* pIniPort) {
  pIniPort->doc.JobBytesHanded = 0;
  pIniPort->doc.JobBytesDelivered = 0;
  pIniPort->doc.JobPageEnds = 0;
  pIniPort->doc.JobCause = JOB_CAUSE_NONE;
  pIniPort->doc.JobHeld = FALSE;
}

void noteBytesHanded(INIPORT* pIniPort, DWORD cbBuf) {
  // The spooler passes again what was not written: only bytes beyond those
  // delivered are new.
  const DWORD reach = pIniPort->doc.JobBytesDelivered + cbBuf;
  if (reach > pIniPort->doc.JobBytesHanded) pIniPort->doc.JobBytesHanded = reach;
}

void loseJob(INIPORT* pIniPort, DWORD cause) {
  if (pIniPort->doc.JobCause == JOB_CAUSE_NONE) pIniPort->doc.JobCause = cause;
  pIniPort->doc.AbortDoc = TRUE;
  pIniPort->doc.JobHeld = FALSE;
}

BOOL jobComplete(const INIPORT* pIniPort) {
  return pIniPort->doc.JobCause == JOB_CAUSE_NONE && pIniPort->doc.JobBytesDelivered == pIniPort->doc.JobBytesHanded;
}

BOOL settleJobOutcome(INIPORT* pIniPort, INIJOB* pIniJob) {
  if (pIniJob == nullptr) return FALSE;
  DWORD cause = pIniPort->doc.JobCause;
  if (cause == JOB_CAUSE_NONE && !jobComplete(pIniPort)) cause = JOB_CAUSE_ENDED_UNSENT;
  if (cause == JOB_CAUSE_NONE && Settings.EOJEjectSendLastPage == 0 && isPrinterErrorStatus(pIniPort->status.PrinterStatus)) {
    DebugTrace(pIniPort, TRACE_INFO, "updateSpoolerWithEODStatus - SendJobLastPageEjected - NOT SENT BECAUSE OF ERROR");
    cause = JOB_CAUSE_PRINTER_ERROR;
  }
  const DWORD jobId = pIniJob->JobId;
  if (cause == JOB_CAUSE_NONE) {
    SendLastPageEjectedForIniJob(pIniPort, pIniJob, JOB_CONTROL_LAST_PAGE_EJECTED);
    DebugTraceF(pIniPort, TRACE_INFO, "updateSpoolerWithEODStatus - Job ID = %u", static_cast<unsigned>(jobId));
  } else {
    setNotPrintedStatus(pIniPort, pIniJob, jobCauseText(cause));
    recordNotPrinted(pIniPort, jobId, jobCauseText(cause));
  }
  recordJobOutcome(pIniPort, jobId, cause == JOB_CAUSE_NONE ? JOB_OUTCOME_PRINTED : JOB_OUTCOME_NOT_PRINTED, cause);
  FreeIniJob(pIniPort, pIniJob);
  return cause == JOB_CAUSE_NONE;
}
