// The monitor's records and name copies come from the platform's global allocator,
// zero-filled, and go back to it.
#include <cstring>

#include "port/port_record.h"
#include "port/relaxed.h"

namespace {

Relaxed<LONG> g_blocks;

}  // namespace

LPVOID AllocSplMem(DWORD cb) {
  LPVOID pMem = static_cast<LPVOID>(GlobalAlloc(GPTR, cb));
  if (pMem != nullptr) ++g_blocks;
  return pMem;
}

void FreeSplMem(LPVOID pMem) {
  if (pMem == nullptr) return;
  GlobalFree(static_cast<HGLOBAL>(pMem));
  --g_blocks;
}

LONG AllocSplMemBlocks(void) { return g_blocks; }

LPWSTR AllocSplStr(LPCWSTR pStr) {
  if (pStr == nullptr) {
    // Callers report a failed copy with the last error, as for a failed allocation.
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const DWORD cb = static_cast<DWORD>((lstrlenW(pStr) + 1) * sizeof(WCHAR));
  LPWSTR pCopy = static_cast<LPWSTR>(AllocSplMem(cb));
  if (pCopy != nullptr) memcpy(pCopy, pStr, cb);
  return pCopy;
}
