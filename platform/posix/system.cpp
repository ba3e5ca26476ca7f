// System names, version, messages, memory blocks and the debugger output channel.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/kernel_object.h"

namespace {

bool makeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

// The default Windows folder is the user's own, so that no other account can own
// it or plant links in it (logs, pipes): /tmp/qxlm-windows-<uid>, mode 0700. A
// folder of that name that is not a folder of the user's own, closed to everyone
// else, is refused rather than used.
bool ownDefaultFolder(std::string* dir) {
  *dir = "/tmp/qxlm-windows-" + std::to_string(geteuid());
  if (mkdir(dir->c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(dir->c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    errno = EACCES;
    return false;
  }
  return true;
}

// Text answers: the length without the NUL when it fits, else the size needed with it.
UINT deliverText(const std::string& text, LPSTR buffer, UINT size) {
  if (buffer == nullptr || size <= text.size()) return static_cast<UINT>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<UINT>(text.size());
}

}  // namespace

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  const char* configured = getenv("QXLM_WINDOWS_DIR");
  std::string dir;
  if (configured != nullptr && *configured != 0) {
    dir = configured;
  } else if (!ownDefaultFolder(&dir)) {
    SetLastError(posix::errorFromErrno(errno));
    return 0;
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  // The folder and its Temp subfolder exist from the first question on, as on Windows.
  for (size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1)) {
    makeDirectory(dir.substr(0, slash));
  }
  if (!makeDirectory(dir) || !makeDirectory(dir + "/Temp")) {
    SetLastError(posix::errorFromErrno(errno));
    return 0;
  }
  return deliverText(dir, lpBuffer, uSize);
}

BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (nSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) {
    SetLastError(posix::errorFromErrno(errno));
    return FALSE;
  }
  // The NetBIOS name: the host's first label, upper case, at most 15 characters.
  std::string name;
  for (const char* p = host; *p != 0 && *p != '.' && name.size() < MAX_COMPUTERNAME_LENGTH; ++p) {
    name += (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 0x20) : *p;
  }
  if (lpBuffer == nullptr || *nSize <= name.size()) {
    *nSize = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  memcpy(lpBuffer, name.c_str(), name.size() + 1);
  *nSize = static_cast<DWORD>(name.size());
  return TRUE;
}

BOOL IsDBCSLeadByte(BYTE TestChar) { return posix::isAnsiLeadByte(TestChar) ? TRUE : FALSE; }

UINT GetACP(void) { return posix::ansiCodePage(); }

BOOL DisableThreadLibraryCalls(HMODULE) { return TRUE; }

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memset(lpVersionInformation, 0, size);
  lpVersionInformation->dwOSVersionInfoSize = size;
  lpVersionInformation->dwMajorVersion = 10;
  lpVersionInformation->dwMinorVersion = 0;
  lpVersionInformation->dwBuildNumber = 19045;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* ex = reinterpret_cast<LPOSVERSIONINFOEXW>(lpVersionInformation);
    ex->wSuiteMask = 0x0100;  // VER_SUITE_SINGLEUSERTS
    ex->wProductType = 1;     // VER_NT_WORKSTATION
  }
  return TRUE;
}

HLOCAL LocalFree(HLOCAL hMem) {
  free(hMem);
  return nullptr;
}

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if ((uFlags & ~GPTR) != 0) {  // movable blocks are not part of the stand-in
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const SIZE_T size = dwBytes == 0 ? 1 : dwBytes;
  void* block = (uFlags & GMEM_ZEROINIT) ? calloc(1, size) : malloc(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  free(hMem);
  return nullptr;
}

void OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString == nullptr) return;
  std::string line(lpOutputString);
  if (line.empty() || line.back() != '\n') line += '\n';
  // One write per call, so that lines of concurrent threads never interleave.
  const ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  (void)written;  // nothing to do when the debugger output is gone
}
