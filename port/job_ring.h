// The port's ring of the last jobs, what became of each, and its counters.
#pragma once

#include "platform/win32_api.h"
#include "port/job_outcome_text.h"

struct INIPORT;

#define JOB_RING_SIZE 8

struct JOBOUTCOME {
  DWORD JobId;
  DWORD BytesHanded;
  DWORD BytesDelivered;
  DWORD PageEnds;
  BOOL TicketsKnown;  // the printer's ticket counter was read at both ends
  DWORD Tickets;
  DWORD Outcome;  // JobOutcome
  DWORD Cause;    // JobCause
};

// Under the port's OutcomeLock.
struct JOBRING {
  JOBOUTCOME entries[JOB_RING_SIZE];  // entries[(next - 1) % size] is the latest
  DWORD next;
  DWORD count;
  DWORD printed;
  DWORD notPrinted;
  DWORD ticketsPrinted;
  DWORD ticketsNotPrinted;
};

// Adds the outcome of the document that just ended (its counts as the record holds them).
void recordJobOutcome(INIPORT* pIniPort, DWORD jobId, DWORD outcome, DWORD cause);

// A job freed without a report (the port closed, the list was cleared): kept in the ring.
void recordJobDropped(INIPORT* pIniPort, DWORD jobId);

// The outcome record as name=value lines (the pipe's answer); returns the length.
DWORD formatJobOutcomes(INIPORT* pIniPort, char* text, DWORD size);
