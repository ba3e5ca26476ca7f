// The monitor's side of the pipe's packets (pipe/pipe_codec.h has the framing):
// its buffer sizes, the response types, and requests unpacked into a work area.
#pragma once

#include "pipe/pipe_codec.h"
#include "platform/win32_api.h"

struct INIPORT;

#define PIPE_REQUEST_SIZE 2048u    // the longest request message the server reads
#define PIPE_RESPONSE_SIZE 4096u   // the server's response buffer
#define PIPE_WORK_AREA_SIZE 4096u  // request payloads are unpacked into this

// Response type letters.
#define PIPE_ANSWER_PASS 'P'
#define PIPE_ANSWER_NO_STATUS 'O'
#define PIPE_ANSWER_TIMEOUT 'T'
#define PIPE_ANSWER_FLASH 'F'
#define PIPE_ANSWER_BAD_PACKET 'B'
#define PIPE_ANSWER_UNKNOWN 'N'
#define PIPE_ANSWER_IN_DOC 'D'
#define PIPE_ANSWER_NOT_IN_DOC 'd'

// Frames a response of type with payloadLength payload bytes into out, which must
// hold payloadLength + 7 bytes; *packetLength receives payloadLength + 7.
void buildPacket(BYTE type, const BYTE* payload, WORD payloadLength, BYTE* out, DWORD* packetLength,
                 INIPORT* pIniPort);

// A request taken apart. The payload sits in a work area cleared for each request,
// so argument bytes a command reads beyond the declared length read as 0.
struct PipeRequest {
  BYTE code;
  WORD length;
  BYTE payload[PIPE_WORK_AREA_SIZE];
};

// Checks and unpacks the received bytes of one request. FALSE for a wrong start
// byte or checksum, and for a request that is shorter than its framing or whose
// declared length runs past the bytes received or the work area: nothing is read
// beyond what was received.
BOOL unpackRequest(const BYTE* received, DWORD receivedLength, PipeRequest* request);
