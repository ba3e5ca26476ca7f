// What became of each job: the document's count of bytes handed and delivered, the
// cause that made it not print, the one settlement at the end of the document, and
// the port's ring of the last jobs with its counters.
#pragma once

#include "platform/win32_api.h"
#include "port/job_ring.h"

struct INIPORT;
struct INIJOB;

// The start of a document: nothing handed, nothing delivered, no cause.
void beginJobOutcome(INIPORT* pIniPort);
// The spooler handed cbBuf bytes, of which the ones delivered before are not new.
void noteBytesHanded(INIPORT* pIniPort, DWORD cbBuf);
// The job cannot complete; the first cause stays. The rest of its data is swallowed.
void loseJob(INIPORT* pIniPort, DWORD cause);
// Whether every byte handed reached the printer and nothing made the job lose data.
BOOL jobComplete(const INIPORT* pIniPort);

// Settles the job once, at the end of its document: LAST_PAGE_EJECTED when printed,
// else the "Not printed: <cause>" status, the event record and the diagnostic line.
// Frees the job. TRUE when the job was reported printed.
BOOL settleJobOutcome(INIPORT* pIniPort, INIJOB* pIniJob);
