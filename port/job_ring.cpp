// The port's ring of the last jobs and its counters.
#include "port/job_ring.h"

#include <cstdio>

#include "port/port_record.h"

namespace {

void addToRing(INIPORT* pIniPort, const JOBOUTCOME& outcome) {
  EnterCriticalSection(&pIniPort->doc.OutcomeLock);
  JOBRING& ring = pIniPort->doc.Jobs;
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
  LeaveCriticalSection(&pIniPort->doc.OutcomeLock);
}

JOBOUTCOME currentOutcome(const INIPORT* pIniPort, DWORD jobId, DWORD outcome, DWORD cause) {
  JOBOUTCOME o = {};
  o.JobId = jobId;
  o.BytesHanded = pIniPort->doc.JobBytesHanded;
  o.BytesDelivered = pIniPort->doc.JobBytesDelivered;
  o.PageEnds = pIniPort->doc.JobPageEnds;
  o.TicketsKnown = pIniPort->doc.DocCountSODKnown && pIniPort->doc.DocCountEODKnown &&
                   pIniPort->doc.DocCountEOD >= pIniPort->doc.DocCountSOD;
  o.Tickets = o.TicketsKnown ? pIniPort->doc.DocCountEOD - pIniPort->doc.DocCountSOD : 0;
  o.Outcome = outcome;
  o.Cause = cause;
  return o;
}

}  // namespace

void recordJobOutcome(INIPORT* pIniPort, DWORD jobId, DWORD outcome, DWORD cause) {
  addToRing(pIniPort, currentOutcome(pIniPort, jobId, outcome, cause));
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
  add("held=%u\n", inDoc && pIniPort->doc.JobHeld ? 1u : 0u);
  if (inDoc) {
    add("current.handed=%u\ncurrent.delivered=%u\n", static_cast<unsigned>(pIniPort->doc.JobBytesHanded),
        static_cast<unsigned>(pIniPort->doc.JobBytesDelivered));
  }
  EnterCriticalSection(&pIniPort->doc.OutcomeLock);
  const JOBRING ring = pIniPort->doc.Jobs;
  LeaveCriticalSection(&pIniPort->doc.OutcomeLock);
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
