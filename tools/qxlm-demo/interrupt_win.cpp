// Ctrl-C, Ctrl-Break and closing the console window on Windows.
#include "interrupt.h"
#include "platform/win32_api.h"

namespace demo {
namespace {

BOOL WINAPI onConsoleControl(DWORD) {
  requestInterrupt();
  return TRUE;
}

}  // namespace

void watchInterrupts() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

}  // namespace demo
