// The debugger output channel. Lines go to OutputDebugStringA (on the stand-in:
// stderr) unless a test has installed a capture.
#pragma once

#include "platform/win32_api.h"

void debugOutput(LPCSTR line);

typedef void (*DebugOutputSink)(LPCSTR line, void* context);

// Test-only: send every line to sink instead (NULL restores the debugger output).
void debugOutputCapture(DebugOutputSink sink, void* context);
