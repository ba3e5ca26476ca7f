#include <cstring>

#include "flash/firmware_check.h"

namespace {

// The position after the character at p: two bytes for a lead byte that has a
// trail byte, else one.
LPCSTR nextCharacter(LPCSTR p) {
  if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

}  // namespace

void upperCaseFileName(LPSTR pFileName) {
  for (char* p = pFileName; *p != '\0'; p = const_cast<char*>(nextCharacter(p))) {
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
}

void copyCutText(LPSTR pOut, size_t cbOut, LPCSTR pIn) {
  if (cbOut == 0) return;
  size_t used = 0;
  for (LPCSTR p = pIn; *p != '\0';) {
    LPCSTR next = nextCharacter(p);
    const size_t width = static_cast<size_t>(next - p);
    if (used + width > cbOut - 1) break;
    memcpy(pOut + used, p, width);
    used += width;
    p = next;
  }
  pOut[used] = '\0';
}

void GetFileName(LPCSTR pPath, LPSTR pBaseName, size_t cbBaseName) {
  LPCSTR start = pPath;
  for (LPCSTR p = pPath; *p != '\0'; p = nextCharacter(p)) {
    if (*p == ':') {
      start = p + 1;
      break;
    }
  }
  for (LPCSTR p = start; *p != '\0'; p = nextCharacter(p)) {
    if (*p == '\\') start = p + 1;
  }
  copyCutText(pBaseName, cbBaseName, start);
}
