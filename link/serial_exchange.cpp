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
  exchange.written = WriteWholeRequest(pIniPort, request, length);
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
