#include <cstdio>
#include <cstring>

#include "status/status_reply.h"

namespace {

BOOL isDigit(BYTE c) { return c >= '0' && c <= '9'; }

// Two decimal digits at p, or -1 when either is not a digit.
int twoDigits(const BYTE* p) { return isDigit(p[0]) && isDigit(p[1]) ? (p[0] - '0') * 10 + (p[1] - '0') : -1; }

// Copies count characters and terminates; out holds at least count + 1.
INT digitField(const BYTE* p, size_t count, char* out) {
  memcpy(out, p, count);
  out[count] = '\0';
  INT value = 0;
  for (size_t i = 0; i < count && isDigit(p[i]); ++i) value = value * 10 + (p[i] - '0');
  return value;
}

// Characters first ... first + count - 1 (counted from 1) of text, as far as it goes.
void textPart(const char* text, size_t first, size_t count, char* out) {
  const size_t length = strlen(text);
  size_t copied = 0;
  for (size_t i = first - 1; i < length && copied < count; ++i) out[copied++] = text[i];
  out[copied] = '\0';
}

}  // namespace

BOOL decodeStatusFields(const BYTE* reply, DWORD length, STATUSFIELDS* fields) {
  memset(fields, 0, sizeof *fields);
  if (length == 0) return FALSE;
  fields->type[0] = static_cast<char>(reply[0]);
  if (strchr("SNEAC", reply[0]) == nullptr || reply[0] == 0) return FALSE;

  DWORD pos = 1;
  while (pos + 2 <= length) {
    const BYTE* field = reply + pos;
    const DWORD left = length - pos;
    const int number = twoDigits(field);
    if (number == 0 && left >= 4) {
      fields->bitFlags = (static_cast<DWORD>(field[2]) << 8) | field[3];
      const unsigned long word = fields->bitFlags & 0xFFFFu;  // NOLINT: the text's format takes a long
      snprintf(fields->bitFlagsText, sizeof fields->bitFlagsText, "0x%4.4lx", word);
      pos += 4;
    } else if (number == 1 && left >= 5) {
      fields->errorCode = digitField(field + 2, 3, fields->errorCodeText);
      pos += 5;
    } else if (number == 2 && left >= 10) {
      fields->ticketCount = digitField(field + 2, 8, fields->ticketCountText);
      pos += 10;
    } else if (number == 3 && left >= 5) {
      fields->headTempC = digitField(field + 2, 3, fields->headTempText);
      fields->headTempF = fields->headTempC * 9 / 5 + 32;
      pos += 5;
    } else if (number == 4 && left >= 4) {
      fields->formsLength = (static_cast<DWORD>(field[2]) << 8) | field[3];
      if (fields->formsLength == 0) {
        snprintf(fields->formsLengthText, sizeof fields->formsLengthText, "roll");
      } else {
        snprintf(fields->formsLengthText, sizeof fields->formsLengthText, "%6.2f in.",
                 static_cast<double>(fields->formsLength) / 100.0);
      }
      pos += 4;
    } else if (number == 5 && left >= 4) {
      const int textLength = twoDigits(field + 2);
      if (textLength < 0 || static_cast<DWORD>(textLength) > left - 4) break;
      const size_t kept = textLength < static_cast<int>(sizeof fields->versionText)
                              ? static_cast<size_t>(textLength)
                              : sizeof fields->versionText - 1;
      memcpy(fields->versionText, field + 4, kept);
      fields->versionText[kept] = '\0';
      textPart(fields->versionText, 1, 5, fields->versionPart1);
      textPart(fields->versionText, 6, 8, fields->versionPart2);
      textPart(fields->versionText, 14, 2, fields->versionPart3);
      pos += 4 + static_cast<DWORD>(textLength);
    } else {
      // Another field, or one that runs past the end of the reply.
      break;
    }
  }
  return TRUE;
}
