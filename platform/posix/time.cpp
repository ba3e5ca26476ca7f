// Sleep, the 32-bit tick count, local time and the time picture of GetTimeFormatA.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/posix/kernel_object.h"

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD GetTickCount(void) {
  // Milliseconds since boot on the monotonic clock, cut to 32 bits: wraps after 49.7 days.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<DWORD>(static_cast<unsigned long long>(ms.count()));
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
  lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
  lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
  lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
  lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
  lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec);
  lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

namespace {

// The stand-in's locale is English (United States).
const char kDefaultTimePicture[] = "h:mm:ss tt";
const char kAm[] = "AM";
const char kPm[] = "PM";

const DWORD kTimeFlags = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;

void appendNumber(std::string& out, unsigned value, size_t letters) {
  char digits[8];
  snprintf(digits, sizeof digits, letters > 1 ? "%02u" : "%u", value);
  out += digits;
}

// Expands the picture: h/hh and H/HH hours (12- and 24-hour), m/mm minutes, s/ss
// seconds, t/tt the first letter of the marker or the whole marker, text in single
// quotes ('' is a quote) and any other character as itself. A field the flags leave
// out takes with it the separator written since the previous field.
std::string expandTimePicture(const char* picture, DWORD flags, const SYSTEMTIME& time) {
  std::string out;
  size_t afterLastField = 0;
  for (const char* p = picture; *p != 0;) {
    const char c = *p;
    if (c == '\'') {
      for (++p; *p != 0; ++p) {
        if (*p == '\'') {
          if (p[1] != '\'') {
            ++p;
            break;
          }
          ++p;  // a doubled quote stands for one
        }
        out += *p;
      }
      continue;
    }
    if (c != 'h' && c != 'H' && c != 'm' && c != 's' && c != 't') {
      out += c;
      ++p;
      continue;
    }
    size_t letters = 0;
    while (p[letters] == c) ++letters;
    p += letters;

    const bool omitted = (c == 'm' && (flags & TIME_NOMINUTESORSECONDS)) ||
                         (c == 's' && (flags & (TIME_NOMINUTESORSECONDS | TIME_NOSECONDS))) ||
                         (c == 't' && (flags & TIME_NOTIMEMARKER));
    if (omitted) {
      out.resize(afterLastField);
      continue;
    }
    switch (c) {
      case 'h':
        if (flags & TIME_FORCE24HOURFORMAT) {
          appendNumber(out, time.wHour, letters);
        } else {
          appendNumber(out, time.wHour % 12 == 0 ? 12u : time.wHour % 12u, letters);
        }
        break;
      case 'H':
        appendNumber(out, time.wHour, letters);
        break;
      case 'm':
        appendNumber(out, time.wMinute, letters);
        break;
      case 's':
        appendNumber(out, time.wSecond, letters);
        break;
      default: {
        const char* marker = time.wHour < 12 ? kAm : kPm;
        out += letters == 1 ? std::string(1, marker[0]) : std::string(marker);
        break;
      }
    }
    afterLastField = out.size();
  }
  return out;
}

}  // namespace

int GetTimeFormatA(LCID, DWORD dwFlags, const SYSTEMTIME* lpTime, LPCSTR lpFormat, LPSTR lpTimeStr, int cchTime) {
  if (cchTime < 0 || (cchTime > 0 && lpTimeStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~kTimeFlags) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  SYSTEMTIME time;
  if (lpTime != nullptr) {
    if (lpTime->wHour > 23 || lpTime->wMinute > 59 || lpTime->wSecond > 59) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    time = *lpTime;
  } else {
    GetLocalTime(&time);
  }
  const std::string text = expandTimePicture(lpFormat != nullptr ? lpFormat : kDefaultTimePicture, dwFlags, time);
  const int needed = static_cast<int>(text.size()) + 1;
  if (cchTime == 0) return needed;
  if (cchTime < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  text.copy(lpTimeStr, text.size());
  lpTimeStr[text.size()] = 0;
  return needed;
}
