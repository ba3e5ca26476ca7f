// Windows backend of the gateway header: the SDK itself.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>
#include <sddl.h>
#include <aclapi.h>

#define WSTR(s) L##s
