#include "platform/debug_output.h"

#include <mutex>

namespace {
std::mutex g_lock;
DebugOutputSink g_sink = nullptr;
void* g_context = nullptr;
}  // namespace

void debugOutput(LPCSTR line) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_sink != nullptr) {
      g_sink(line, g_context);
      return;
    }
  }
  OutputDebugStringA(line);
}

void debugOutputCapture(DebugOutputSink sink, void* context) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_sink = sink;
  g_context = context;
}
