// Status requests and replies as the status room reads them: the decoded record of a
// complete status and the checks of requests and replies (the printer's codes and
// bits are in link/printer_reply.h).
#pragma once

#include "link/printer_reply.h"
#include "platform/win32_api.h"

struct INIPORT;

// A complete status decoded field by field; every member is zero unless the reply
// held the field.
struct STATUSFIELDS {
  DWORD bitFlags;
  INT errorCode;
  INT ticketCount;
  INT headTempC;
  INT headTempF;
  DWORD formsLength;  // hundredths of an inch; 0 for roll stock
  char type[2];
  char formsLengthText[16];
  char headTempText[4];
  char ticketCountText[9];
  char errorCodeText[4];
  char bitFlagsText[8];
  char versionText[64];  // at most 63 characters of field 05, terminated
  char versionPart1[16];
  char versionPart2[9];  // 8 characters and a terminator
  char versionPart3[9];
};

// Validates an ESC I request and converts it to its status request code. The
// request must be readable up to its fourth byte whenever its first three bytes are
// ESC "I" "A" (an ESC I A c request is taken as 4 bytes whatever length says).
BOOL convertStatusString(INIPORT* pIniPort, const BYTE* request, DWORD length, DWORD* code);

// Whether a reply is of the type a status request asked for (and of its field).
BOOL replyAnswersRequest(const BYTE* request, DWORD requestLength, const BYTE* reply, DWORD count);

// Traces the name of a status request code; nothing for a code without a name.
void traceStatusCode(INIPORT* pIniPort, DWORD code);

// Decodes the numbered fields of a reply. FALSE when the type letter is not one of
// S N E A C; otherwise TRUE with every field that lies wholly inside the reply.
BOOL decodeStatusFields(const BYTE* reply, DWORD length, STATUSFIELDS* fields);
