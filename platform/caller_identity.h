// Who sent a request on a port's pipe. Every request that changes the machine, the
// printer or another user's job is judged by the account of its sender.
#pragma once

#include "platform/win32_api.h"

#define CALLER_NAME_SIZE 256

struct PipeCaller {
  // SYSTEM or a member of Administrators on Windows; root in the stand-in. On Windows
  // also a user holding the administer right on the port's printer.
  BOOL administrator;
  char name[CALLER_NAME_SIZE];  // "DOMAIN\user" on Windows, the login name elsewhere
};

// Asked, while the thread acts as a caller who is not an administrator, whether
// that caller may administer the port's printer.
typedef BOOL (*PrinterRightCheck)(void* context);

// Identifies the client connected on the server end hPipe. A client that cannot be
// identified is answered as one without rights, named "unknown caller", and FALSE
// is returned. The thread acts as the client only inside this call.
BOOL identifyPipeCaller(HANDLE hPipe, PrinterRightCheck administersPrinter, void* context, PipeCaller* caller);

// For tests: every later identification answers *caller instead of asking the
// system; NULL restores the system's answer. The caller record is copied.
void injectPipeCaller(const PipeCaller* caller);
