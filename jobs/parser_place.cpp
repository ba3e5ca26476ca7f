// The printer's parser outlives a port record: a port closed inside a block, with
// its zeros still owed, or with a page end still to wait for, hands that place to
// the next record opened on the same port. Its first document then waits for the
// printer and finishes the block before its own bytes, as the closed one would have.
#include <cstring>

#include "jobs/document.h"
#include "port/monitor_state.h"

namespace {

struct ParserPlace {
  char port[sizeof(INIPORT::PortNameA)];
  DWORD state;
  DWORD count;
  BOOL pageEnd;
};

// Under SplSem. A port past the table's size is rare (one per printer port), and
// keeps no place: it may lose the next job's first bytes as before.
const int PLACES = 16;
ParserPlace places[PLACES];
int placesUsed = 0;

int findPlace(const char* port) {
  for (int i = 0; i < placesUsed; ++i) {
    if (strcmp(places[i].port, port) == 0) return i;
  }
  return -1;
}

}  // namespace

void keepParserPlace(INIPORT* pIniPort) {
  const BOOL owes = pIniPort->doc.eopState != 0 || pIniPort->doc.EOPFound;
  EnterCriticalSection(&SplSem);
  int i = findPlace(pIniPort->PortNameA);
  if (i < 0 && owes && placesUsed < PLACES) {
    i = placesUsed++;
    memcpy(places[i].port, pIniPort->PortNameA, sizeof places[i].port);
  }
  if (i >= 0) {
    places[i].state = owes ? static_cast<DWORD>(pIniPort->doc.eopState) : 0;
    places[i].count = owes ? static_cast<DWORD>(pIniPort->doc.eopCount) : 0;
    places[i].pageEnd = pIniPort->doc.EOPFound;
  }
  LeaveCriticalSection(&SplSem);
}

void takeParserPlace(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);
  const int i = findPlace(pIniPort->PortNameA);
  if (i >= 0) {
    pIniPort->doc.eopState = places[i].state;
    pIniPort->doc.eopCount = places[i].count;
    pIniPort->doc.BlockFillOwed = places[i].state != 0;
    pIniPort->doc.EOPFound = places[i].pageEnd;
  }
  LeaveCriticalSection(&SplSem);
}
