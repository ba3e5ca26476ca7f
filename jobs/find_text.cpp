#include "jobs/find_text.h"

#include <cstring>

LPCSTR findText(LPCSTR text, LPCSTR pattern) {
  if (text == nullptr || pattern == nullptr) return nullptr;
  return strstr(text, pattern);
}
