// The identity tests inject in place of the system's answer.
#include <cstring>
#include <mutex>

#include "platform/caller_identity.h"
#include "platform/caller_injection.h"

namespace {

std::mutex g_lock;
bool g_injected = false;
PipeCaller g_caller;

}  // namespace

void injectPipeCaller(const PipeCaller* caller) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_injected = caller != nullptr;
  if (caller != nullptr) g_caller = *caller;
}

bool injectedPipeCaller(PipeCaller* caller) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_injected) *caller = g_caller;
  return g_injected;
}

void unknownPipeCaller(PipeCaller* caller) {
  caller->administrator = FALSE;
  strcpy(caller->name, "unknown caller");
}
