#include "ports_test_support.h"

#include "port/monitor_state.h"

INIPORT* createRecord(LPCWSTR pPortName) {
  EnterCriticalSection(&SplSem);
  INIPORT* pIniPort = CreatePortEntry(pPortName);
  LeaveCriticalSection(&SplSem);
  return pIniPort;
}

void removeRecord(INIPORT* pIniPort) {
  EnterCriticalSection(&SplSem);
  RemovePortEntry(pIniPort);
  LeaveCriticalSection(&SplSem);
}
