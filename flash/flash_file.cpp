// The firmware file, opened for the pipe client that asked for the update, with
// that client's rights, before anything of the port is claimed.
//
// The open runs on a thread of its own: a file can keep an open waiting (an oplock
// its owner does not give up, a slow share), and the pipe thread, which a port
// close waits for, must answer within a bound. An open that has not ended by then is
// left to finish alone; whatever it opens late is closed by whoever lets go of the
// opening last. Opens left so are few at any time: a file that stalls every open
// cannot make the monitor start a thread per request.
#include <atomic>
#include <new>
#include <string>

#include "flash/flash_update.h"
#include "platform/clock.h"
#include "port/debug_trace.h"

namespace {

// The longest wait for the client's file to open.
const DWORD kOpenWait = 5000;
// The most opens whose threads may run at once, monitor-wide.
const int kMostOpening = 4;
std::atomic<int> g_opening{0};

struct FileOpening {
  std::atomic<int> owners{2};  // the caller and the opening thread
  CRITICAL_SECTION lock;       // abandoned, and the start of the impersonation
  BOOL abandoned = FALSE;
  HANDLE done = nullptr;
  HANDLE hClientPipe = nullptr;
  std::string name;
  HANDLE hFile = INVALID_HANDLE_VALUE;
  DWORD error = 0;
};

void letGo(FileOpening* opening) {
  if (opening->owners.fetch_sub(1) != 1) return;
  if (opening->hFile != INVALID_HANDLE_VALUE) CloseHandle(opening->hFile);
  if (opening->done != nullptr) CloseHandle(opening->done);
  DeleteCriticalSection(&opening->lock);
  delete opening;
}

// Acts as the client only while the caller still waits, so that a late start never
// takes the identity of a later client of the pipe.
DWORD WINAPI openAsClient(LPVOID pParameter) {
  FileOpening* opening = static_cast<FileOpening*>(pParameter);
  EnterCriticalSection(&opening->lock);
  BOOL impersonating = FALSE;
  DWORD error = ERROR_TIMEOUT;
  if (!opening->abandoned) {
    impersonating = ImpersonateNamedPipeClient(opening->hClientPipe);
    if (!impersonating) error = GetLastError();
  }
  LeaveCriticalSection(&opening->lock);
  if (impersonating) {
    HANDLE hFile =
        CreateFileA(opening->name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    error = GetLastError();
    if (!RevertToSelf()) {
      // Nothing opened under an identity the thread cannot leave is used.
      error = GetLastError();
      if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
      hFile = INVALID_HANDLE_VALUE;
    }
    opening->hFile = hFile;
  }
  opening->error = error;
  SetEvent(opening->done);
  letGo(opening);
  g_opening.fetch_sub(1);
  return 0;
}

}  // namespace

HANDLE openFlashFile(INIPORT* pIniPort, LPCSTR pFileName, HANDLE hClientPipe) {
  if (g_opening.fetch_add(1) >= kMostOpening) {
    g_opening.fetch_sub(1);
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - earlier opens of firmware files still wait\r\n");
    return INVALID_HANDLE_VALUE;
  }
  FileOpening* opening = new (std::nothrow) FileOpening;
  if (opening == nullptr) {
    g_opening.fetch_sub(1);
    return INVALID_HANDLE_VALUE;
  }
  InitializeCriticalSection(&opening->lock);
  opening->hClientPipe = hClientPipe;
  opening->name = pFileName;
  opening->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = opening->done != nullptr ? CreateThread(nullptr, 32768, openAsClient, opening, 0, nullptr) : nullptr;
  if (thread == nullptr) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxProgramFlash - cannot start the file open, error %u\r\n",
                static_cast<unsigned>(GetLastError()));
    opening->owners = 1;
    letGo(opening);
    g_opening.fetch_sub(1);
    return INVALID_HANDLE_VALUE;
  }
  CloseHandle(thread);

  const BOOL opened = clockWait(opening->done, kOpenWait) == WAIT_OBJECT_0;
  EnterCriticalSection(&opening->lock);
  opening->abandoned = TRUE;
  LeaveCriticalSection(&opening->lock);
  HANDLE hFile = INVALID_HANDLE_VALUE;
  if (!opened) {
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - the file did not open in time\r\n");
  } else if (opening->hFile == INVALID_HANDLE_VALUE) {
    DebugTraceF(pIniPort, TRACE_ERROR, "qxProgramFlash - open as the pipe client failed, error %u\r\n",
                static_cast<unsigned>(opening->error));
  } else if (GetFileType(opening->hFile) != FILE_TYPE_DISK) {
    // A pipe or a device could keep the transfer's reads waiting for ever.
    DebugTrace(pIniPort, TRACE_ERROR, "qxProgramFlash - not a disk file\r\n");
  } else {
    hFile = opening->hFile;
    opening->hFile = INVALID_HANDLE_VALUE;
  }
  letGo(opening);
  return hFile;
}
