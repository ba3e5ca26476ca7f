// Each call runs on a thread started for it and ends it; the writer waits on an
// event for a bounded time. A call left waiting keeps its name busy until it ends,
// so a locked file costs one thread, not one per line, and the calls on a name
// never overtake each other: whatever a late call does, it does before the next.
#include <atomic>
#include <mutex>
#include <new>
#include <string>

#include "log/log_file_call.h"
#include "log/log_lock.h"
#include "platform/clock.h"

namespace {

enum CallKind { CALL_OPEN, CALL_DELETE, CALL_MOVE };

struct LogFileCall {
  LogFileCall* next = nullptr;
  std::atomic<int> owners{2};  // the writer and the call's thread
  CallKind kind = CALL_OPEN;
  DWORD disposition = 0;
  std::string path;
  std::string to;
  HANDLE done = nullptr;
  HANDLE hFile = INVALID_HANDLE_VALUE;
  BOOL ok = FALSE;
  DWORD error = 0;
};

// The calls under way, by the name they work on.
std::mutex g_callsLock;
LogFileCall* g_calls = nullptr;

void letGo(LogFileCall* call) {
  if (call->owners.fetch_sub(1) != 1) return;
  if (call->hFile != INVALID_HANDLE_VALUE) CloseHandle(call->hFile);
  if (call->done != nullptr) CloseHandle(call->done);
  delete call;
}

// FALSE when a call on the same name is still under way.
bool enlist(LogFileCall* call) {
  std::lock_guard<std::mutex> hold(g_callsLock);
  for (const LogFileCall* other = g_calls; other != nullptr; other = other->next) {
    if (SameLogFile(other->path.c_str(), call->path.c_str())) return false;
  }
  call->next = g_calls;
  g_calls = call;
  return true;
}

void delist(LogFileCall* call) {
  std::lock_guard<std::mutex> hold(g_callsLock);
  for (LogFileCall** link = &g_calls; *link != nullptr; link = &(*link)->next) {
    if (*link == call) {
      *link = call->next;
      return;
    }
  }
}

DWORD WINAPI runCall(LPVOID pParameter) {
  LogFileCall* call = static_cast<LogFileCall*>(pParameter);
  switch (call->kind) {
    case CALL_OPEN:
      call->hFile = CreateFileA(call->path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, call->disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      call->ok = call->hFile != INVALID_HANDLE_VALUE;
      break;
    case CALL_DELETE:
      call->ok = DeleteFileA(call->path.c_str());
      break;
    case CALL_MOVE:
      call->ok = MoveFileExA(call->path.c_str(), call->to.c_str(), MOVEFILE_REPLACE_EXISTING);
      break;
  }
  call->error = GetLastError();
  // Off the list before the writer hears of the end, so that its next call is free.
  delist(call);
  SetEvent(call->done);
  letGo(call);
  return 0;
}

// The call's outcome in *call when it ended within the wait; else FALSE with the
// last error set, and the call is the writer's no longer.
BOOL run(LogFileCall* call) {
  call->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (call->done == nullptr || !enlist(call)) {
    const DWORD error = call->done == nullptr ? GetLastError() : ERROR_BUSY;
    call->owners = 1;
    letGo(call);
    SetLastError(error);
    return FALSE;
  }
  HANDLE thread = CreateThread(nullptr, 32768, runCall, call, 0, nullptr);
  if (thread == nullptr) {
    const DWORD error = GetLastError();
    delist(call);
    call->owners = 1;
    letGo(call);
    SetLastError(error);
    return FALSE;
  }
  CloseHandle(thread);
  if (clockWait(call->done, LOG_FILE_CALL_WAIT) != WAIT_OBJECT_0) {
    letGo(call);
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  return TRUE;
}

LogFileCall* newCall(CallKind kind, LPCSTR path) {
  LogFileCall* call = new (std::nothrow) LogFileCall;
  if (call == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  call->kind = kind;
  call->path = path;
  return call;
}

// The outcome of a call that ended in time, with its last error.
BOOL outcome(LogFileCall* call) {
  const BOOL ok = call->ok;
  const DWORD error = call->error;
  letGo(call);
  SetLastError(error);
  return ok;
}

}  // namespace

HANDLE LogFileOpen(LPCSTR path, DWORD disposition) {
  LogFileCall* call = newCall(CALL_OPEN, path);
  if (call == nullptr) return INVALID_HANDLE_VALUE;
  call->disposition = disposition;
  if (!run(call)) return INVALID_HANDLE_VALUE;
  const HANDLE hFile = call->hFile;
  call->hFile = INVALID_HANDLE_VALUE;
  outcome(call);
  return hFile;
}

BOOL LogFileDelete(LPCSTR path) {
  LogFileCall* call = newCall(CALL_DELETE, path);
  return call != nullptr && run(call) && outcome(call);
}

BOOL LogFileMove(LPCSTR from, LPCSTR to) {
  LogFileCall* call = newCall(CALL_MOVE, from);
  if (call == nullptr) return FALSE;
  call->to = to;
  return run(call) && outcome(call);
}
