#include "flash/flash_progress.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "monitor/port_record.h"

namespace {

struct Hook {
  FlashProgressHook function;
  void* context;
};

std::atomic<const Hook*> g_hook{nullptr};
Hook g_hookSlot;

}  // namespace

void setFlashProgress(INIPORT* pIniPort, LPCSTR format, ...) {
  EnterCriticalSection(&pIniPort->FlashLock);
  va_list args;
  va_start(args, format);
  vsnprintf(pIniPort->FlashProgress, sizeof pIniPort->FlashProgress, format, args);
  va_end(args);
  const Hook* hook = g_hook.load(std::memory_order_acquire);
  if (hook != nullptr) hook->function(pIniPort, pIniPort->FlashProgress, hook->context);
  LeaveCriticalSection(&pIniPort->FlashLock);
}

void copyFlashProgress(INIPORT* pIniPort, LPSTR pOut, size_t cbOut) {
  if (cbOut == 0) return;
  EnterCriticalSection(&pIniPort->FlashLock);
  snprintf(pOut, cbOut, "%s", pIniPort->FlashProgress);
  LeaveCriticalSection(&pIniPort->FlashLock);
}

void flashProgressHook(FlashProgressHook hook, void* context) {
  if (hook == nullptr) {
    g_hook.store(nullptr, std::memory_order_release);
    return;
  }
  g_hookSlot = Hook{hook, context};
  g_hook.store(&g_hookSlot, std::memory_order_release);
}
