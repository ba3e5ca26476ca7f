// The stand-in's ANSI code page: Latin-1 (one byte per unit, units above 0xFF have
// no byte), or code page 932 (Shift-JIS, double-byte) when the environment of the
// process names it in QXLM_ANSI_CODE_PAGE, as a test run does to reach the
// monitor's double-byte paths. Like Windows, the choice holds for the whole
// process from its start.
#pragma once

#include <string>

#include "win32_backend.h"

namespace posix {

UINT ansiCodePage();
bool isAnsiLeadByte(BYTE byte);

// Conversions of ANSI text. Bytes without a character become U+30FB (932) as on
// Windows; characters without bytes become fallback, and *usedDefault tells.
std::u16string wideFromAnsi(const unsigned char* in, size_t count);
std::string ansiFromWide(const WCHAR* in, size_t count, char fallback, bool* usedDefault);

}  // namespace posix
