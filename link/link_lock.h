// The port's LinkLock: one owner at a time of the lower port handle. It is held
// around every exchange on it (a job write, a status query with its replies, a
// vendor request, a foreign ReadPort, a firmware write), so that no reader takes a
// reply meant for another exchange. It is re-entrant (a job write holds it while
// its status query takes it again). Under it an exchange takes only the locks of
// the status copies and the logs; no thread takes it while holding SplSem, the
// pipe's hPipeDoingStatus is taken before it, never under it. See docs/concurrency.md.
#pragma once

#include "port/port_record.h"

class LinkLockHold {
 public:
  explicit LinkLockHold(INIPORT* pIniPort) : port_(pIniPort) { EnterCriticalSection(&port_->link.LinkLock); }
  ~LinkLockHold() { LeaveCriticalSection(&port_->link.LinkLock); }
  LinkLockHold(const LinkLockHold&) = delete;
  LinkLockHold& operator=(const LinkLockHold&) = delete;

 private:
  INIPORT* port_;
};
