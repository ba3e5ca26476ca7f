// The pipe's command set: one request packet in, exactly one response packet out.
#pragma once

#include "pipe/pipe_packet.h"
#include "platform/win32_api.h"

struct INIPORT;

// Command codes, byte 4 of a request.
#define GET_LAST_STATUS 0
#define GET_REAL_TIME_STATUS 1
#define GET_PRINTER_NAME 2
#define GET_PORT_NAME 3
#define GET_DPRINT_STATE 4
#define SET_HEARTBEAT 5
#define SET_HEARTBEAT_RATE 6
#define SET_SPOOLER_MODE 7
#define GET_LM_VERSION 8
#define PROGRAM_FLASH 9
#define GET_FLASH_PROGRESS 10
#define ABORT_DOCUMENT 11
#define SET_REGISTRY_KEY 12
#define GET_JOB_OUTCOMES 13  // read-only: the port's last jobs and counters, name=value lines

// Payload bounds of the commands that carry arguments: a real-time request holds
// the 2 time-out bytes and at most 128 bytes of status request; a flash request
// holds at least its check byte.
#define REAL_TIME_STATUS_MIN_PAYLOAD 2u
#define REAL_TIME_STATUS_MAX_PAYLOAD (2u + RT_STATUS_COMMAND_SIZE)
#define PROGRAM_FLASH_MIN_PAYLOAD 1u

// A response under construction.
struct PipeAnswer {
  BYTE type;
  WORD length;
  BYTE data[PIPE_RESPONSE_SIZE - PIPE_PACKET_FRAMING];
};

// Text answers carry the text and its NUL (cut to fit); byte answers are sent as given.
void answerText(PipeAnswer* answer, BYTE type, LPCSTR text);
void answerBytes(PipeAnswer* answer, BYTE type, const BYTE* bytes, DWORD count);

// Turns the bytesRead bytes of one request into one framed response in response
// (PIPE_RESPONSE_SIZE bytes) and sets *responseLength. Always TRUE.
BOOL buildClientResponse(const BYTE* request, DWORD bytesRead, BYTE* response, DWORD* responseLength,
                         INIPORT* pIniPort);

// Judges a request by its sender and, for a live status request, by its form.
// FALSE, with the refusal in answer, when it may not run.
BOOL requestAllowed(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer);

// The commands with rules of their own, each in its file.
void answerLastStatus(INIPORT* pIniPort, PipeAnswer* answer);
void answerRealTimeStatus(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer);
void answerProgramFlash(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer);
void answerSetRegistryKey(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer);
