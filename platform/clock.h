// Every pause, tick read and finite wait of the monitor goes through here. The
// protocol's numbers stay literal at the call sites; tests may make the clock run
// faster so that every pause is still taken, in proportion, in a fraction of the
// time. The shipped DLL never changes the scale.
#pragma once

#include "platform/win32_api.h"

// Pauses the calling thread for ms protocol milliseconds.
void clockSleep(DWORD ms);

// Protocol milliseconds since an arbitrary start, 32 bits, wrapping like GetTickCount.
DWORD clockTickCount(void);

// WaitForSingleObject with the time-out in protocol milliseconds (INFINITE stays infinite).
DWORD clockWait(HANDLE h, DWORD ms);

// Test-only: real time = protocol time * scale (1.0 = real time, 0.01 = 100 times faster).
void clockSetScale(double scale);
double clockScale(void);
