// The library's start-up routine: only the process attach does work.
#include "entry/monitor_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ProcessAttach(hInstance);
  return TRUE;
}
