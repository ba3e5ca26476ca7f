// Shared by the two backends of caller_identity.h.
#pragma once

#include "platform/caller_identity.h"

// TRUE and *caller when a test injected an identity.
bool injectedPipeCaller(PipeCaller* caller);
// A caller without rights, as any client that cannot be identified is taken.
void unknownPipeCaller(PipeCaller* caller);
