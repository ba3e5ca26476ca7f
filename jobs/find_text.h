// Case-sensitive substring search on narrow text.
#pragma once

#include "platform/win32_api.h"

// The first occurrence of pattern in text, or NULL when there is none.
LPCSTR findText(LPCSTR text, LPCSTR pattern);
