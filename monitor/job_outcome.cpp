// The one settlement of a job's outcome, and the port's record of the last jobs.
#include "monitor/job_outcome.h"

#include <cstdio>
#include <cstring>

#include "diag/debug_trace.h"
#include "diag/event_log.h"
#include "monitor/document.h"
#include "monitor/port_record.h"
#include "monitor/settings.h"
#include "platform/spooler.h"
#include "platform/system_event_log.h"

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
           pIniPort->PortNameA, cause, static_cast<unsigned>(pIniPort->JobBytesDelivered),
           static_cast<unsigned>(pIniPort->JobBytesHanded));
  DebugTrace(pIniPort, TRACE_ERROR, text);
  WCHAR wide[OUTCOME_TEXT_SIZE];
  toWide(text, wide, OUTCOME_TEXT_SIZE);
  if (!systemEventReport(EVENTLOG_ERROR_TYPE, QX_EVENT_JOB_NOT_PRINTED, wide)) {
    DebugTrace(pIniPort, TRACE_ERROR, "settleJobOutcome - event record failed");
  }
  if (Settings.DRWenable) TextLogFile(pIniPort, text, JOB_NOT_PRINTED_LOG_ID, DRW_ERRORS);
}

void addToRing(INIPORT* pIniPort, const JOBOUTCOME& outcome) {
  EnterCriticalSection(&pIniPort->OutcomeLock);
  JOBRING& ring = pIniPort->Jobs;
  ring.entries[ring.next % JOB_RING_SIZE] = outcome;
  ring.next = (ring.next + 1) % JOB_RING_SIZE;
  if (ring.count < JOB_RING_SIZE) ++ring.count;
  const DWORD tickets = outcome.TicketsKnown ? outcome.Tickets : outcome.PageEnds;
  if (outcome.Outcome == JOB_OUTCOME_PRINTED) {
    ++ring.printed;
    ring.ticketsPrinted += tickets;
  } else {
    ++ring.notPrinted;
    ring.ticketsNotPrinted += tickets;
  }
  LeaveCriticalSection(&pIniPort->OutcomeLock);
}

JOBOUTCOME currentOutcome(const INIPORT* pIniPort, DWORD jobId, DWORD outcome, DWORD cause) {
  JOBOUTCOME o = {};
  o.JobId = jobId;
  o.BytesHanded = pIniPort->JobBytesHanded;
  o.BytesDelivered = pIniPort->JobBytesDelivered;
  o.PageEnds = pIniPort->JobPageEnds;
  o.TicketsKnown = pIniPort->DocCountSODKnown && pIniPort->DocCountEODKnown &&
                   pIniPort->DocCountEOD >= pIniPort->DocCountSOD;
  o.Tickets = o.TicketsKnown ? pIniPort->DocCountEOD - pIniPort->DocCountSOD : 0;
  o.Outcome = outcome;
  o.Cause = cause;
  return o;
}

}  // namespace

void beginJobOutcome(INIPORT* pIniPort) {
  pIniPort->JobBytesHanded = 0;
  pIniPort->JobBytesDelivered = 0;
  pIniPort->JobPageEnds = 0;
  pIniPort->JobCause = JOB_CAUSE_NONE;
  pIniPort->JobHeld = FALSE;
}

void noteBytesHanded(INIPORT* pIniPort, DWORD cbBuf) {
  // The spooler passes again what was not written: only bytes beyond those
  // delivered are new.
  const DWORD reach = pIniPort->JobBytesDelivered + cbBuf;
  if (reach > pIniPort->JobBytesHanded) pIniPort->JobBytesHanded = reach;
}

void loseJob(INIPORT* pIniPort, DWORD cause) {
  if (pIniPort->JobCause == JOB_CAUSE_NONE) pIniPort->JobCause = cause;
  pIniPort->AbortDoc = TRUE;
  pIniPort->JobHeld = FALSE;
}

BOOL jobComplete(const INIPORT* pIniPort) {
  return pIniPort->JobCause == JOB_CAUSE_NONE && pIniPort->JobBytesDelivered == pIniPort->JobBytesHanded;
}

BOOL settleJobOutcome(INIPORT* pIniPort, INIJOB* pIniJob) {
  if (pIniJob == nullptr) return FALSE;
  DWORD cause = pIniPort->JobCause;
  if (cause == JOB_CAUSE_NONE && !jobComplete(pIniPort)) cause = JOB_CAUSE_ENDED_UNSENT;
  if (cause == JOB_CAUSE_NONE && Settings.EOJEjectSendLastPage == 0 && isPrinterErrorStatus(pIniPort->PrinterStatus)) {
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
  addToRing(pIniPort, currentOutcome(pIniPort, jobId, cause == JOB_CAUSE_NONE ? JOB_OUTCOME_PRINTED
                                                                              : JOB_OUTCOME_NOT_PRINTED, cause));
  FreeIniJob(pIniPort, pIniJob);
  return cause == JOB_CAUSE_NONE;
}

void recordJobDropped(INIPORT* pIniPort, DWORD jobId) {
  addToRing(pIniPort, currentOutcome(pIniPort, jobId, JOB_OUTCOME_NOT_PRINTED, JOB_CAUSE_PORT_CLOSED));
}

DWORD formatJobOutcomes(INIPORT* pIniPort, char* text, DWORD size) {
  if (text == nullptr || size == 0) return 0;
  size_t used = 0;
  auto add = [&](const char* format, auto... values) {
    if (used >= size) return;
    const int n = snprintf(text + used, size - used, format, values...);
    if (n > 0) used += static_cast<size_t>(n) < size - used ? static_cast<size_t>(n) : size - used - 1;
  };
  const BOOL inDoc = (pIniPort->flags & PP_IN_DOC) != 0;
  add("held=%u\n", inDoc && pIniPort->JobHeld ? 1u : 0u);
  if (inDoc) {
    add("current.handed=%u\ncurrent.delivered=%u\n", static_cast<unsigned>(pIniPort->JobBytesHanded),
        static_cast<unsigned>(pIniPort->JobBytesDelivered));
  }
  EnterCriticalSection(&pIniPort->OutcomeLock);
  const JOBRING ring = pIniPort->Jobs;
  LeaveCriticalSection(&pIniPort->OutcomeLock);
  add("jobs.printed=%u\njobs.not_printed=%u\ntickets.printed=%u\ntickets.not_printed=%u\n",
      static_cast<unsigned>(ring.printed), static_cast<unsigned>(ring.notPrinted),
      static_cast<unsigned>(ring.ticketsPrinted), static_cast<unsigned>(ring.ticketsNotPrinted));
  for (DWORD i = 0; i < ring.count; ++i) {
    // Newest first.
    const JOBOUTCOME& o = ring.entries[(ring.next + JOB_RING_SIZE - 1 - i) % JOB_RING_SIZE];
    char tickets[16] = "unknown";
    if (o.TicketsKnown) snprintf(tickets, sizeof tickets, "%u", static_cast<unsigned>(o.Tickets));
    add("job%u=id %u, handed %u, delivered %u, page ends %u, tickets %s, %s%s%s\n", static_cast<unsigned>(i),
        static_cast<unsigned>(o.JobId), static_cast<unsigned>(o.BytesHanded), static_cast<unsigned>(o.BytesDelivered),
        static_cast<unsigned>(o.PageEnds), tickets, jobOutcomeText(o.Outcome),
        o.Outcome == JOB_OUTCOME_PRINTED ? "" : ": ", o.Outcome == JOB_OUTCOME_PRINTED ? "" : jobCauseText(o.Cause));
  }
  return static_cast<DWORD>(used);
}
