// The port's pipe instance and listening for its clients.
#include "pipe/pipe_server.h"
#include "port/debug_trace.h"
#include "port/port_record.h"

namespace {

// The access the pipe grants: network logons nothing; SYSTEM and the
// administrators everything; interactive and other authenticated local users read
// and write. The denial comes first, as Windows reads the entries in order.
const WCHAR kPipeSecurity[] = WSTR("D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;IU)(A;;GRGW;;;AU)");

// Builds "\\.\pipe\QXNamedPipe" + the port name; FALSE when it does not fit.
BOOL pipeName(INIPORT* pIniPort, WCHAR* name, int size) {
  const char prefix[] = PIPE_NAME_PREFIX;
  int at = 0;
  for (; prefix[at] != 0; ++at) name[at] = static_cast<WCHAR>(prefix[at]);
  const int portLength = lstrlenW(pIniPort->pszPortName);
  if (at + portLength >= size) return FALSE;
  lstrcpynW(name + at, pIniPort->pszPortName, size - at);
  return TRUE;
}

}  // namespace

BOOL QXOpenPipeOverlapped(INIPORT* pIniPort, HANDLE* phPipe) {
  DebugTrace(pIniPort, TRACE_INFO, "QXOpenPipeOverlapped - Start");
  WCHAR name[PIPE_NAME_CHARS];
  if (!pipeName(pIniPort, name, PIPE_NAME_CHARS)) {
    DebugTrace(pIniPort, TRACE_ERROR, "QXOpenPipeOverlapped - Pipe name too long");
    return FALSE;
  }
  char narrow[PIPE_NAME_CHARS];
  narrowCopy(narrow, sizeof narrow, name);
  DebugTraceF(pIniPort, TRACE_INFO, "QXOpenPipeOverlapped - Pipe name = %s", narrow);

  // An explicit access list instead of the open one: local clients only, and the
  // handle is not handed to child processes.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
    DebugTraceF(pIniPort, TRACE_ERROR, "QXOpenPipeOverlapped - Set security item #2 failed, error %u",
                static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  SECURITY_ATTRIBUTES sa;
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = descriptor;
  sa.bInheritHandle = FALSE;

  const HANDLE hPipe = CreateNamedPipeW(
      name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 10000, &sa);
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  if (hPipe == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "QXOpenPipeOverlapped - INVALID HANDLE WHEN CREATING PIPE, error %u",
                static_cast<unsigned>(error));
    SetLastError(error);  // the caller tells a name held by another process by it
    return FALSE;
  }
  pIniPort->pipe.hPipe = hPipe;
  *phPipe = hPipe;
  return TRUE;
}

BOOL ConnectToNewClient(INIPORT* pIniPort, LPOVERLAPPED lpo) {
  if (ConnectNamedPipe(pIniPort->pipe.hPipe, lpo)) {
    // An overlapped connect never finishes at once; the error is examined all the same.
    DebugTrace(pIniPort, TRACE_ERROR, "ConnectToNewClient - Pipe error 1");
  }
  // The caller tells a connected client from a failed connect by the last error.
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_PIPE_CONNECTED:
      DebugTrace(pIniPort, TRACE_INFO, "ConnectToNewClient - already connected");
      if (!SetEvent(lpo->hEvent)) DebugTrace(pIniPort, TRACE_ERROR, "ConnectToNewClient - Pipe error 2");
      SetLastError(error);
      return FALSE;
    case ERROR_IO_PENDING:
      DebugTrace(pIniPort, TRACE_INFO, "ConnectToNewClient - IO pending");
      return TRUE;
    default:
      DebugTraceF(pIniPort, TRACE_ERROR, "ConnectToNewClient - Pipe error 2, error %u", static_cast<unsigned>(error));
      SetLastError(error);
      return FALSE;
  }
}
