#include "link/serial_exchange.h"

#include "link/link_lock.h"
#include "link/lower_port.h"
#include "link/printer_read.h"
#include "link/request_write.h"
#include "platform/clock.h"

SerialExchange serialExchange(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD pauseMs, LPBYTE reply,
                              DWORD size, BOOL keepCopies, BOOL startRequired,
                              const std::function<void(SerialExchange&)>& beforeEnd) {
  SerialExchange exchange;
  LinkLockHold link(pIniPort);
  exchange.started = lowerStartOwnDoc(pIniPort);
  if (!exchange.started) {
    exchange.error = GetLastError();
    if (startRequired) return exchange;
  }
  DWORD taken = 0;
  exchange.written = WriteWholeRequest(pIniPort, request, length, &taken);
  // A write that failed after taking the start of the request (a time-out that cut
  // it) leaves that start in the printer's parser, which would take whatever comes
  // next on the line, a job's data or the next request, as ticket data: the rest
  // goes after it once more.
  if (!exchange.written && taken > 0 && taken < length) {
    exchange.written = WriteWholeRequest(pIniPort, request + taken, length - taken);
  }
  if (!exchange.written) exchange.error = GetLastError();
  if (pauseMs > 0) clockSleep(pauseMs);
  exchange.read = readFromPrinter(pIniPort, reply, size, &exchange.count, keepCopies);
  if (!exchange.read) {
    exchange.error = GetLastError();
    exchange.count = 0;
  }
  if (beforeEnd) beforeEnd(exchange);
  lowerEndDoc(pIniPort);
  SetLastError(exchange.error);
  return exchange;
}
