#include "ctl_local_time.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace ctl {
namespace {

struct Moment {
  long long days = 0;  // since 1970-01-01
  long long seconds = 0;  // of the day
};

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2);
}

Moment now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  Moment moment;
  moment.days = daysFromCivil(t.wYear, t.wMonth, t.wDay);
  moment.seconds = t.wHour * 3600LL + t.wMinute * 60LL + t.wSecond;
  return moment;
}

std::string stampOf(const Moment& moment) {
  long long y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(moment.days, &y, &m, &d);
  const unsigned s = static_cast<unsigned>(moment.seconds % 86400);
  char text[96];
  snprintf(text, sizeof text, "%lld/%02u/%02u %02u:%02u:%02u", y, m % 100, d % 100, s / 3600, s / 60 % 60, s % 60);
  return text;
}

// "hh:mm" or "hh:mm:ss" at text; the seconds of the day.
bool timeOfDay(const char* text, long long* seconds) {
  unsigned h = 0, mi = 0, s = 0;
  int used = 0;
  if (sscanf(text, "%2u:%2u%n", &h, &mi, &used) != 2) return false;
  if (text[used] == ':') {
    int more = 0;
    if (sscanf(text + used, ":%2u%n", &s, &more) != 1) return false;
    used += more;
  }
  if (text[used] != 0 || h > 23 || mi > 59 || s > 59) return false;
  *seconds = h * 3600LL + mi * 60LL + s;
  return true;
}

}  // namespace

std::string localStamp() { return stampOf(now()); }

std::string isoStamp(const std::string& stamp) {
  std::string iso = stamp;
  for (char& c : iso) {
    if (c == '/') c = '-';
  }
  if (iso.size() > 10 && iso[10] == ' ') iso[10] = 'T';
  return iso;
}

bool parseDuration(const std::string& text, DWORD* ms) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  errno = 0;
  const double value = strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str()) return false;
  const std::string unit = end;
  double scale = 0;
  if (unit == "ms") scale = 1;
  else if (unit.empty() || unit == "s") scale = 1000;
  else if (unit == "m") scale = 60000;
  else if (unit == "h") scale = 3600000;
  else if (unit == "d") scale = 86400000;
  else return false;
  const double total = value * scale;
  if (!(total >= 0) || total > 4000000000.0) return false;
  *ms = static_cast<DWORD>(total);
  return true;
}

bool parseSince(const std::string& text, std::string* stamp) {
  DWORD ms = 0;
  Moment moment = now();
  if (text.find(':') == std::string::npos && text.find('/') == std::string::npos &&
      text.find('-') == std::string::npos && parseDuration(text, &ms)) {
    const long long total = moment.days * 86400 + moment.seconds - ms / 1000;
    moment.days = total / 86400;
    moment.seconds = total % 86400;
    *stamp = stampOf(moment);
    return true;
  }
  unsigned y = 0, m = 0, d = 0;
  int used = 0;
  if (sscanf(text.c_str(), "%4u%*1[/-]%2u%*1[/-]%2u%n", &y, &m, &d, &used) == 3 && used >= 8) {
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    moment.days = daysFromCivil(y, m, d);
    moment.seconds = 0;
    const char* rest = text.c_str() + used;
    if (*rest != 0 && !((*rest == ' ' || *rest == 'T') && timeOfDay(rest + 1, &moment.seconds))) return false;
  } else if (!timeOfDay(text.c_str(), &moment.seconds)) {
    return false;
  }
  *stamp = stampOf(moment);
  return true;
}

}  // namespace ctl
