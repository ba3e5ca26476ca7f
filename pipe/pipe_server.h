// The port's pipe server: "\\.\pipe\QXNamedPipe" followed by the port name, one
// instance, served by the port's pipe thread with overlapped operations.
#pragma once

#include "platform/win32_api.h"

struct INIPORT;

#define PIPE_NAME_PREFIX "\\\\.\\pipe\\QXNamedPipe"
#define PIPE_NAME_CHARS 512

// Starts the port's pipe thread, above normal priority, and keeps its handle in the
// record. A port whose pipe thread still runs keeps it: no second thread is started.
BOOL CreatePipeThread(INIPORT* pIniPort);

// Stops the pipe thread: sets PP_SHUTDOWN_PIPE, cancels the pipe's pending
// operation and wakes the thread until it has ended, then closes the pipe and its
// event. Nothing of the record is in use by the pipe server afterwards.
void StopPipeThread(INIPORT* pIniPort);

// Creates the port's pipe instance into *phPipe (the record keeps it too).
BOOL QXOpenPipeOverlapped(INIPORT* pIniPort, HANDLE* phPipe);

// Listens for a client: TRUE while the connect is pending; FALSE when a client is
// already connected (the event is then set) or the connect failed.
BOOL ConnectToNewClient(INIPORT* pIniPort, LPOVERLAPPED lpo);

DWORD WINAPI PipeThread(LPVOID lpvParam);
