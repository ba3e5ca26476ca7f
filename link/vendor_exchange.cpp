// The printer queues one reply at a time: the first read after a request returns
// the reply it had ready before it, the second the answer. The pauses give the
// printer time to take the request and to answer it.
#include "link/device_control.h"
#include "link/link_lock.h"
#include "link/printer_read.h"
#include "platform/clock.h"

BOOL vendorExchange(INIPORT* pIniPort, BYTE code, LPBYTE reply, DWORD size, LPDWORD count, BOOL keepCopies) {
  *count = 0;
  LinkLockHold link(pIniPort);
  if (!sendVendorRequest(pIniPort, code)) return FALSE;
  for (int read = 0; read < 2; ++read) {
    clockSleep(50);
    if (!readFromPrinter(pIniPort, reply, size, count, keepCopies)) {
      *count = 0;
      return FALSE;
    }
  }
  return TRUE;
}
