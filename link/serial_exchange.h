// An exchange on a serial link. The lower port takes writes only inside a document,
// so the exchange opens a short document of the monitor's own, writes the request
// whole, waits, reads the reply and ends the document, all under the LinkLock.
#pragma once

#include <functional>

#include "platform/win32_api.h"

struct INIPORT;

struct SerialExchange {
  BOOL started = FALSE;  // the lower document opened
  BOOL written = FALSE;  // the whole request went out
  BOOL read = FALSE;     // the read succeeded; count holds the reply's length
  DWORD count = 0;
  DWORD error = ERROR_SUCCESS;  // the last error of the step that failed last
};

// When startRequired, a document that does not open ends the exchange there (nothing
// written, nothing to end); otherwise the read decides, as with a failed write.
// beforeEnd, when given, looks at the reply while the document is still open (it
// may read more of the line). The reply is read through readFromPrinter.
SerialExchange serialExchange(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD pauseMs, LPBYTE reply,
                              DWORD size, BOOL keepCopies, BOOL startRequired,
                              const std::function<void(SerialExchange&)>& beforeEnd = nullptr);
