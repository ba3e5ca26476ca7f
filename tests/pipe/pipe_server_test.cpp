// The pipe server of a port: one pipe per port, one client at a time, requests on
// one connection, and the port close with and without a client.
#include <vector>

#include "port/port_record.h"
#include "pipe/pipe_commands.h"
#include "pipe/pipe_server.h"
#include "pipe_test_support.h"
#include "platform/clock.h"
#include "tests/support/test_files.h"
#include "tests/support/trace_capture.h"

namespace {

class PipeServer : public PipePortTest {
 protected:
  void SetUp() override {
    PipePortTest::SetUp();
    setting("EnableDiags", 0x6);  // the traces tell whether a response was built
  }
};

TEST_F(PipeServer, EachPortHasItsOwnPipe) {
  const std::string a = portName("TWOA");
  const std::string b = portName("TWOB");
  INIPORT* portA = open(a);
  INIPORT* portB = open(b);
  ASSERT_NE(nullptr, portA);
  ASSERT_NE(nullptr, portB);
  EXPECT_EQ(a, ctl::responseText(request(a, GET_PORT_NAME)));
  EXPECT_EQ(b, ctl::responseText(request(b, GET_PORT_NAME)));
  request(b, ABORT_DOCUMENT);
  EXPECT_FALSE(portA->doc.AbortPending);
  EXPECT_TRUE(portB->doc.AbortPending);

  // The name is taken while the port is open.
  const WideString name = ctl::pipeNameFor(a);
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 0,
                                                   nullptr));
}

TEST_F(PipeServer, OneClientAtATime) {
  const std::string name = portName("BUSY");
  ASSERT_NE(nullptr, open(name));
  ctl::PipeClient first;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(first, name));
  ctl::PipeClient second;
  EXPECT_EQ(ctl::Outcome::Busy, second.open(name, 0));

  ctl::Response response;
  EXPECT_EQ(ctl::Outcome::Ok, first.send(ctl::buildRequest(GET_PORT_NAME, {}), 30000, &response));
  first.close();
  ASSERT_EQ(ctl::Outcome::Ok, second.open(name, 10000));
  EXPECT_EQ(ctl::Outcome::Ok, second.send(ctl::buildRequest(GET_PORT_NAME, {}), 30000, &response));
  EXPECT_EQ(name, ctl::responseText(response));
}

TEST_F(PipeServer, ASilentClientGetsNothingAndTheServerListensAgain) {
  const std::string name = portName("SILENT");
  ASSERT_NE(nullptr, open(name));
  TraceCapture trace;
  HANDLE silent = rawClientWhenOpen(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, silent);
  CloseHandle(silent);
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));
  EXPECT_EQ(1u, trace.count("buildClientResponse - Start"));
}

TEST_F(PipeServer, AnIdleClientIsDroppedAndTheNextOneServed) {
  const std::string name = portName("IDLE");
  ASSERT_NE(nullptr, open(name));
  clockSetScale(0.1);
  HANDLE idle = rawClientWhenOpen(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, idle);
  ctl::PipeClient next;
  EXPECT_EQ(ctl::Outcome::Ok, next.open(name, 20000));
  ctl::Response response;
  EXPECT_EQ(ctl::Outcome::Ok, next.send(ctl::buildRequest(GET_PORT_NAME, {}), 30000, &response));
  EXPECT_EQ(name, ctl::responseText(response));
  clockSetScale(1.0);
  const std::vector<BYTE> late = ctl::buildRequest(GET_PORT_NAME, {});
  DWORD n = 0;
  EXPECT_FALSE(WriteFile(idle, late.data(), static_cast<DWORD>(late.size()), &n, nullptr));
  CloseHandle(idle);
}

TEST_F(PipeServer, AnOverlongRequestIsNotAnsweredAndTheClientIsDropped) {
  const std::string name = portName("LONG");
  ASSERT_NE(nullptr, open(name));
  TraceCapture trace;
  HANDLE client = rawClientWhenOpen(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, client);
  DWORD mode = PIPE_READMODE_MESSAGE;
  ASSERT_TRUE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));
  std::vector<BYTE> request = ctl::buildRequest(0x0D, std::vector<BYTE>(2042, 0));
  ASSERT_EQ(2049u, request.size());
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(client, request.data(), static_cast<DWORD>(request.size()), &n, nullptr));
  BYTE answer[PIPE_RESPONSE_SIZE];
  EXPECT_FALSE(ReadFile(client, answer, sizeof answer, &n, nullptr));  // disconnected, not answered
  CloseHandle(client);
  EXPECT_EQ(0u, trace.count("buildClientResponse - Start"));
  EXPECT_EQ(name, ctl::responseText(this->request(name, GET_PORT_NAME)));
}

TEST_F(PipeServer, RequestsOnOneConnectionAreAnsweredInOrder) {
  const std::string name = portName("ORDER");
  ASSERT_NE(nullptr, open(name));
  HANDLE client = rawClientWhenOpen(name);
  ASSERT_NE(INVALID_HANDLE_VALUE, client);
  DWORD mode = PIPE_READMODE_MESSAGE;
  ASSERT_TRUE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));
  DWORD n = 0;
  for (BYTE code : {GET_PORT_NAME, GET_LM_VERSION, GET_DPRINT_STATE}) {
    const std::vector<BYTE> request = ctl::buildRequest(code, {});
    EXPECT_TRUE(WriteFile(client, request.data(), static_cast<DWORD>(request.size()), &n, nullptr));
  }
  std::vector<std::string> texts;
  for (int i = 0; i < 3; ++i) {
    std::vector<BYTE> message(PIPE_RESPONSE_SIZE);
    ASSERT_TRUE(ReadFile(client, message.data(), PIPE_RESPONSE_SIZE, &n, nullptr));
    message.resize(n);
    ctl::Response response;
    ASSERT_TRUE(ctl::parseResponse(message, &response));
    texts.push_back(ctl::responseText(response));
  }
  CloseHandle(client);
  EXPECT_EQ(std::vector<std::string>({name, "2.00 build 00 01/04/2017", "dPrint NOT in progress"}), texts);
}

TEST_F(PipeServer, ARunningPipeThreadIsNeverJoinedByASecond) {
  const std::string name = portName("SECOND");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));
  const HANDLE thread = port->pipe.hPipeThread;
  const HANDLE event = port->pipe.hPipeEvent;
  TraceCapture trace;
  EXPECT_TRUE(CreatePipeThread(port));
  EXPECT_EQ(thread, port->pipe.hPipeThread.load());
  EXPECT_EQ(event, port->pipe.hPipeEvent.load());  // the close still wakes the serving thread
  EXPECT_EQ(1u, trace.count("CreatePipeThread - Pipe thread already running"));
  EXPECT_EQ(0u, trace.count("PipeThread - Start for"));
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));
  EXPECT_TRUE(close(port));
  EXPECT_EQ(1u, trace.count("PipeThread - Stop"));
}

TEST_F(PipeServer, CloseWithoutAClientEndsThePipeThread) {
  const std::string name = portName("CLOSEIDLE");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  TraceCapture trace;
  EXPECT_TRUE(close(port));
  EXPECT_EQ(1u, trace.count("PipeThread - Stop"));
  ctl::PipeClient client;
  EXPECT_EQ(ctl::Outcome::NoSuchPort, client.open(name, 0));
}

// Another process may take the pipe's name before the port opens.
TEST_F(PipeServer, ANameHeldByAnotherIsLoggedAndTakenOnceFree) {
  setting("DRWenable", 1);
  const std::string name = portName("HELD");
  const WideString pipeName = ctl::pipeNameFor(name);
  HANDLE squatter = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, squatter);
  char windows[MAX_PATH];
  ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
  char computer[MAX_PATH];
  DWORD computerSize = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &computerSize));
  const std::string log = std::string(windows) + "\\Temp\\Pipe Test Printer_" + computer + ".log";
  deleteLogFile(log);
  TraceCapture trace;
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);

  // Tried again while the name is held, and logged once.
  const DWORD start = GetTickCount();
  while (trace.count("INVALID HANDLE WHEN CREATING PIPE") < 2 && GetTickCount() - start < 20000) Sleep(10);
  EXPECT_LE(2u, trace.count("INVALID HANDLE WHEN CREATING PIPE"));
  EXPECT_EQ(1u, trace.count("held by another process"));
  const std::string held = "\"0028\"";
  const std::string logged = readLogFile(log);
  EXPECT_NE(std::string::npos, logged.find(held)) << logged;

  CloseHandle(squatter);
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));
  EXPECT_TRUE(close(port));
  EXPECT_EQ(1u, trace.count("PipeThread - Stop"));
  deleteLogFile(log);
}

struct WaitingClient {
  std::string port;
  ctl::Outcome outcome = ctl::Outcome::Failed;
  ctl::Response response;
};

DWORD WINAPI askForLongStatus(LPVOID arg) {
  auto* w = static_cast<WaitingClient*>(arg);
  ctl::PipeClient client;
  if (connectWhenOpen(client, w->port) != ctl::Outcome::Ok) return 1;
  // 60 seconds for a normal status.
  w->outcome = client.send(ctl::buildRequest(GET_REAL_TIME_STATUS, {0xEA, 0x60, 0x1B, 'I', 'N'}), 120000, &w->response);
  return 0;
}

TEST_F(PipeServer, CloseDuringALongStatusWaitEndsItAndFreesNothingEarly) {
  const std::string name = portName("CLOSEWAIT");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  // The status thread rests as during a document, so the request stays unanswered.
  ASSERT_TRUE(statusThreadReady(port));
  ASSERT_TRUE(ResetEvent(port->status.heartbeatRun));
  WaitingClient waiting;
  waiting.port = name;
  HANDLE thread = CreateThread(nullptr, 0, askForLongStatus, &waiting, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  while (port->status.printerState != PRINTER_STATE_PIPE_REQUEST && WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
  }
  ASSERT_EQ(PRINTER_STATE_PIPE_REQUEST, port->status.printerState);

  const DWORD closing = GetTickCount();
  EXPECT_TRUE(close(port));
  EXPECT_LT(GetTickCount() - closing, 30000u);  // well inside the client's 60 s
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
  CloseHandle(thread);
  EXPECT_EQ(ctl::Outcome::Ok, waiting.outcome);
  EXPECT_EQ('T', waiting.response.type);
}

}  // namespace
