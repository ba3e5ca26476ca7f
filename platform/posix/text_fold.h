// Case folding of UTF-16 units for the stand-in's case-insensitive names and
// comparisons: ASCII and Latin-1 letters, as the single-byte code page knows them.
#pragma once

#include "win32_backend.h"

namespace posix {

inline WCHAR foldCase(WCHAR c) {
  if (c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WCHAR>(c + 0x20);  // À..Þ but not ×
  return c;
}

inline char foldCaseByte(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

}  // namespace posix
