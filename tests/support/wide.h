// Port, printer and registry names as the monitor's wide calls take them. The
// tests' names are Latin-1: each byte is one character.
#pragma once

#include <string>

#include "platform/win32_api.h"

typedef std::basic_string<WCHAR> WideString;

inline WideString widen(const std::string& text) {
  WideString wide;
  for (unsigned char c : text) wide.push_back(static_cast<WCHAR>(c));
  return wide;
}
