// The Windows facts qxlm-setup works with: text conversions, the system's error
// texts, the two DLL paths, file versions and the caller's rights.
#pragma once

#include <ostream>
#include <string>

#include "platform/win32_api.h"

namespace setup {

typedef std::basic_string<WCHAR> Wide;

Wide toWide(const std::string& utf8);
std::string toUtf8(const Wide& wide);
bool sameName(const Wide& a, const Wide& b);  // case-insensitive, as the spooler compares

// "<what> failed: <system text> (error N)" and the advice, on err; the exit code.
int reportFailure(std::ostream& err, const std::string& what, DWORD error);

Wide besideProgram(const Wide& fileName);  // the folder of qxlm-setup.exe
Wide inSystemFolder(const Wide& fileName);
bool fileExists(const Wide& path);
bool sameContents(const Wide& a, const Wide& b);
// "2.0.0.0" from the file's version resource, empty when it has none.
std::string fileVersion(const Wide& path);

// An elevated member of the Administrators group.
bool runsAsAdministrator();

// The monitor's key below HKEY_LOCAL_MACHINE, which holds its settings.
Wide monitorKeyPath(const Wide& monitorName);

}  // namespace setup
