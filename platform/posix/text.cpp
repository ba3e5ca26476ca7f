// Code page conversions and the lstr*W helpers. The ANSI code page is the
// stand-in's (code_page.h).
#include <string>

#include "platform/posix/code_page.h"
#include "platform/posix/kernel_object.h"
#include "platform/posix/text_fold.h"

namespace {

const char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD as on Windows.
std::string toUtf8(const WCHAR* in, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    char32_t c = in[i];
    if (isHighSurrogate(c) && i + 1 < count && isLowSurrogate(in[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

// UTF-8 to UTF-16; each maximal ill-formed subsequence becomes one U+FFFD.
std::u16string fromUtf8(const unsigned char* in, size_t count) {
  std::u16string out;
  for (size_t i = 0; i < count;) {
    const unsigned char lead = in[i++];
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      continue;
    }
    size_t more;
    char32_t c;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out += static_cast<char16_t>(kReplacement);
      continue;
    }
    bool complete = true;
    for (size_t k = 0; k < more; ++k) {
      if (i >= count || in[i] < low || in[i] > high) {
        complete = false;
        break;
      }
      c = (c << 6) | (in[i++] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (!complete) {
      out += static_cast<char16_t>(kReplacement);
    } else if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

template <typename Out, typename Unit>
int deliver(const Out& text, Unit* buffer, int capacity) {
  const int needed = static_cast<int>(text.size());
  if (capacity == 0) return needed;
  if (capacity < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  text.copy(buffer, text.size());
  return needed;
}

int compareUnits(WCHAR a, WCHAR b) { return a < b ? -1 : (a > b ? 1 : 0); }

// The system's sort puts punctuation and symbols first, then digits, then letters.
int sortClass(WCHAR folded) {
  if (folded >= u'0' && folded <= u'9') return 1;
  if ((folded >= u'a' && folded <= u'z') || (folded >= 0xDF && folded <= 0xFF && folded != 0xF7)) return 2;
  return 0;
}

}  // namespace

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
      (CodePage == CP_UTF8 && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (CodePage != CP_ACP && CodePage != CP_UTF8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // -1: the text ends at its NUL, which is converted too.
  const size_t count = cchWideChar == -1 ? static_cast<size_t>(lstrlenW(lpWideCharStr)) + 1 : cchWideChar;
  std::string out;
  if (CodePage == CP_UTF8) {
    out = toUtf8(lpWideCharStr, count);
  } else {
    const char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
    bool usedDefault = false;
    out = posix::ansiFromWide(lpWideCharStr, count, fallback, &usedDefault);
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  }
  return deliver(out, lpMultiByteStr, cbMultiByte);
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr) || (CodePage != CP_ACP && CodePage != CP_UTF8)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const unsigned char* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  size_t count = static_cast<size_t>(cbMultiByte);
  if (cbMultiByte == -1) {
    for (count = 0; in[count] != 0; ++count) {
    }
    ++count;
  }
  std::u16string out;
  if (CodePage == CP_UTF8) {
    out = fromUtf8(in, count);
  } else {
    out = posix::wideFromAnsi(in, count);
  }
  return deliver(out, lpWideCharStr, cchWideChar);
}

int lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) return 0;
  int n = 0;
  while (lpString[n] != 0) ++n;
  return n;
}

// Like the system's sort for plain text: texts compare without case first, and only
// texts equal that way are then told apart by case, lower before upper.
int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return lpString1 == lpString2 ? 0 : (lpString1 ? 1 : -1);
  const int folded = lstrcmpiW(lpString1, lpString2);
  if (folded != 0) return folded;
  for (; *lpString1 != 0; ++lpString1, ++lpString2) {
    if (*lpString1 != *lpString2) return compareUnits(*lpString2, *lpString1);  // 'a' < 'A'
  }
  return 0;
}

int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return lpString1 == lpString2 ? 0 : (lpString1 ? 1 : -1);
  for (;; ++lpString1, ++lpString2) {
    const WCHAR a = posix::foldCase(*lpString1);
    const WCHAR b = posix::foldCase(*lpString2);
    if (a == b) {
      if (a == 0) return 0;
      continue;
    }
    if (a == 0 || b == 0) return a == 0 ? -1 : 1;  // a text sorts before its longer copies
    if (sortClass(a) != sortClass(b)) return sortClass(a) < sortClass(b) ? -1 : 1;
    return compareUnits(a, b);
  }
}

LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  LPWSTR d = lpString1;
  // iMaxLength counts the NUL: at most iMaxLength - 1 units are copied.
  for (; iMaxLength > 1 && *lpString2 != 0; --iMaxLength) *d++ = *lpString2++;
  if (iMaxLength > 0) *d = 0;
  return lpString1;
}

LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  LPWSTR d = lpString1;
  while ((*d++ = *lpString2++) != 0) {
  }
  return lpString1;
}

LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
  if (lpString1 == nullptr || lpString2 == nullptr) return nullptr;
  lstrcpyW(lpString1 + lstrlenW(lpString1), lpString2);
  return lpString1;
}
