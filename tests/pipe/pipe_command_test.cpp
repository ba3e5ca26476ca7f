// The commands over the real pipe of a port opened on the virtual printer.
#include <vector>

#include "ctl_port_view.h"
#include "flash/flash_progress.h"
#include "jobs/job_outcome.h"
#include "pipe/pipe_commands.h"
#include "pipe_test_support.h"
#include "port/monitor_state.h"
#include "port/settings.h"
#include "status/status_reply.h"
#include "status/status_thread.h"

namespace {

const std::vector<BYTE> kNormalStatus = {0x1B, 'I', 'N'};

std::vector<BYTE> realTime(BYTE high, BYTE low, const std::vector<BYTE>& statusRequest) {
  std::vector<BYTE> payload(2 + statusRequest.size());
  payload[0] = high;
  payload[1] = low;
  for (size_t i = 0; i < statusRequest.size(); ++i) payload[2 + i] = statusRequest[i];
  return payload;
}

class PipeCommands : public PipePortTest {};

TEST_F(PipeCommands, LastStatusBeforeAnyReplyIsAnEmptyO) {
  const std::string name = portName("LAST");
  ASSERT_NE(nullptr, open(name));
  ctl::PipeClient client;
  ASSERT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));
  std::vector<BYTE> message;
  ASSERT_EQ(ctl::Outcome::Ok, client.exchange(ctl::buildRequest(GET_LAST_STATUS, {}), 30000, &message));
  EXPECT_EQ(std::vector<BYTE>({0x03, 0x00, 0x00, 0x00, 'O', 0x00, 0x52}), message);
}

TEST_F(PipeCommands, RealTimeStatusAsksThePrinterOrTimesOut) {
  // No time to wait: the status thread has not answered yet.
  const std::string hasty = portName("NOW");
  ASSERT_NE(nullptr, open(hasty));
  const ctl::Response now = request(hasty, GET_REAL_TIME_STATUS, realTime(0, 0, kNormalStatus));
  EXPECT_EQ('T', now.type);
  EXPECT_EQ("Status Timeout Occurred", ctl::responseText(now));

  const std::string name = portName("LIVE");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  printer(name).setStatus(OUT_OF_PAPER, 0);
  port->link.goodCommWithPrinter = TRUE;  // as after the first reply: requests go out
  ASSERT_TRUE(statusThreadReady(port));

  // The debounced low-paper flag replaces the sensor bit of the printer's reply.
  port->status.LowPaper = TRUE;
  const ctl::Response live = request(name, GET_REAL_TIME_STATUS, realTime(0x27, 0x10, kNormalStatus));
  ASSERT_EQ('P', live.type);
  ASSERT_GE(live.payload.size(), 5u);
  EXPECT_EQ('N', live.payload[0]);
  EXPECT_EQ(OUT_OF_PAPER, live.payload[3]);
  EXPECT_EQ(LOW_PAPER, live.payload[4] & LOW_PAPER);
  EXPECT_FALSE(printer(name).vendorRequests().empty());

  // Its last reply is what GET_LAST_STATUS answers.
  const ctl::Response last = request(name, GET_LAST_STATUS);
  EXPECT_EQ('P', last.type);
  EXPECT_EQ(live.payload, last.payload);
}

TEST_F(PipeCommands, RealTimeStatusDuringADocumentAnswersFromTheSavedReply) {
  const std::string name = portName("INDOC");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  ASSERT_TRUE(statusThreadReady(port));
  EnterCriticalSection(&port->link.StatusCopyLock);
  const BYTE saved[] = {'S', '0', '0', 0x00, 0x01};
  memcpy(port->link.SavedStatus, saved, sizeof saved);
  port->link.SavedStatusLength = sizeof saved;
  port->link.SNECStatus[3] = 0x83;  // not ready, head lever up, out of paper
  LeaveCriticalSection(&port->link.StatusCopyLock);
  port->flags |= PP_IN_DOC;
  printer(name).clearRecords();

  const ctl::Response r = request(name, GET_REAL_TIME_STATUS, realTime(0xFF, 0xFF, kNormalStatus));
  port->flags &= ~PP_IN_DOC;
  ASSERT_EQ('P', r.type);
  EXPECT_EQ(std::vector<BYTE>({'S', '0', '0', 0x83, 0xA1}), r.payload);
  EXPECT_TRUE(printer(name).vendorRequests().empty());
}

TEST_F(PipeCommands, RealTimeStatusWithoutAStatusThreadTimesOutAtOnce) {
  const std::string name = portName("NOTHREAD");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  StopUstatusThread(port, FALSE);
  ASSERT_EQ(nullptr, port->status.WakeUp.load());
  const DWORD start = GetTickCount();
  EXPECT_EQ('T', request(name, GET_REAL_TIME_STATUS, realTime(0xFF, 0xFF, kNormalStatus)).type);
  EXPECT_LT(GetTickCount() - start, 30000u);  // far below the client's 65 s
}

TEST_F(PipeCommands, JobOutcomesAreAnsweredAsNameValueLines) {
  const std::string name = portName("JOBS");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  recordJobDropped(port, 41);
  const ctl::Response answer = request(name, GET_JOB_OUTCOMES, {});
  ASSERT_EQ('P', answer.type);
  const std::map<std::string, std::string> values = ctl::parseNameValues(ctl::responseText(answer));
  EXPECT_EQ("0", values.at("held"));
  EXPECT_EQ("0", values.at("jobs.printed"));
  EXPECT_EQ("1", values.at("jobs.not_printed"));
  EXPECT_EQ("id 41, handed 0, delivered 0, page ends 0, tickets unknown, not printed: port_closed", values.at("job0"));
}

TEST_F(PipeCommands, NamesAndDocumentState) {
  const std::string name = portName("NAMES");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ("Pipe Test Printer", ctl::responseText(request(name, GET_PRINTER_NAME)));
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));

  const ctl::Response idle = request(name, GET_DPRINT_STATE);
  EXPECT_EQ('d', idle.type);
  EXPECT_EQ("dPrint NOT in progress", ctl::responseText(idle));
  port->flags |= PP_IN_DOC;
  const ctl::Response printing = request(name, GET_DPRINT_STATE);
  port->flags &= ~PP_IN_DOC;
  EXPECT_EQ('D', printing.type);
  EXPECT_EQ("DPrint IN progress", ctl::responseText(printing));
}

TEST_F(PipeCommands, HeartbeatSwitchIsMonitorWideButDisarmsOnlyThisPort) {
  setting("EnableHeartBeat", 1);
  const std::string a = portName("HBA");
  const std::string b = portName("HBB");
  INIPORT* portA = open(a);
  INIPORT* portB = open(b);
  ASSERT_NE(nullptr, portA);
  ASSERT_NE(nullptr, portB);
  // Heartbeat replies then keep the ports' watchdog flags as set here.
  printer(a).setWatchdogAlwaysReported(true);
  printer(b).setWatchdogAlwaysReported(true);
  for (INIPORT* port : {portA, portB}) {
    port->link.goodCommWithPrinter = TRUE;
    port->link.WDCapable = TRUE;
    port->settings.WDEnable = TRUE;
  }
  ASSERT_TRUE(HeartbeatOn);
  printer(a).clearRecords();
  printer(b).clearRecords();

  EXPECT_EQ("Set Heartbeat", ctl::responseText(request(a, SET_HEARTBEAT, {0})));
  EXPECT_FALSE(HeartbeatOn);
  const std::vector<BYTE> disarm = {0x55, 0x00, 0x00};
  size_t disarmsA = 0, disarmsB = 0;
  for (const auto& r : printer(a).vendorRequests()) disarmsA += r == disarm ? 1 : 0;
  for (const auto& r : printer(b).vendorRequests()) disarmsB += r == disarm ? 1 : 0;
  EXPECT_EQ(1u, disarmsA);
  EXPECT_EQ(0u, disarmsB);

  request(b, SET_HEARTBEAT, {1});
  EXPECT_TRUE(HeartbeatOn);
}

TEST_F(PipeCommands, RatesAndSpoolerModeLiveInMemoryUntilTheNextSettingsRead) {
  const std::string name = portName("RATE");
  ASSERT_NE(nullptr, open(name));
  setting("HeartBeatRate", 7000);
  EXPECT_EQ("Set Heartbeat rate", ctl::responseText(request(name, SET_HEARTBEAT_RATE, {0x10, 0x27, 0x00, 0x00})));
  EXPECT_EQ(10000u, Settings.HeartBeatRate.load());
  EXPECT_EQ(10000u, wdHeartBeatRate.load());

  EXPECT_EQ("Set spooler mode", ctl::responseText(request(name, SET_SPOOLER_MODE, {1})));
  EXPECT_EQ(1u, Settings.EOJEjectSendLastPage.load());
  request(name, SET_SPOOLER_MODE, {0});
  EXPECT_EQ(0u, Settings.EOJEjectSendLastPage.load());

  // The switches take 0 or 1 only; anything else is refused and changes nothing.
  HeartbeatOn = TRUE;
  const ctl::Response mode = request(name, SET_SPOOLER_MODE, {7});
  EXPECT_EQ('F', mode.type);
  EXPECT_EQ("SPOOLER MODE OUT OF RANGE", ctl::responseText(mode));
  EXPECT_EQ(0u, Settings.EOJEjectSendLastPage.load());
  const ctl::Response heartbeat = request(name, SET_HEARTBEAT, {2});
  EXPECT_EQ('F', heartbeat.type);
  EXPECT_EQ("HEARTBEAT SWITCH OUT OF RANGE", ctl::responseText(heartbeat));
  EXPECT_TRUE(HeartbeatOn);
  EXPECT_EQ('F', request(name, SET_HEARTBEAT_RATE, {0xFF, 0xFF, 0xFF, 0xFF}).type);
  EXPECT_EQ(10000u, Settings.HeartBeatRate.load());

  // The version request reads the settings again.
  EXPECT_EQ("2.00 build 00 01/04/2017", ctl::responseText(request(name, GET_LM_VERSION)));
  EXPECT_EQ(7000u, Settings.HeartBeatRate.load());
  EXPECT_EQ(5000u, wdHeartBeatRate.load());
}

TEST_F(PipeCommands, DuringAFlashOnlyProgressAbortAndSettingsAreServed) {
  const std::string name = portName("FLASHING");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  setting("HeartBeatRate", 6000);
  port->flash.FlashInProgress = TRUE;
  setFlashProgress(port, "%s", "1,123,4,P, ");

  for (BYTE code = GET_LAST_STATUS; code <= PROGRAM_FLASH; ++code) {
    std::vector<BYTE> payload;
    if (code == GET_REAL_TIME_STATUS) payload = realTime(0, 0, kNormalStatus);
    if (code == PROGRAM_FLASH) payload = {'T'};
    const ctl::Response r = request(name, code, payload);
    EXPECT_EQ('F', r.type) << static_cast<int>(code);
    EXPECT_EQ("FLASH UPLOAD IN PROGRESS", ctl::responseText(r));
  }
  EXPECT_EQ(6000u, Settings.HeartBeatRate.load());  // the version request still read the settings

  EXPECT_EQ("1,123,4,P, ", ctl::responseText(request(name, GET_FLASH_PROGRESS)));
  EXPECT_EQ("Abort Document", ctl::responseText(request(name, ABORT_DOCUMENT)));
  EXPECT_TRUE(port->doc.AbortPending);
  const std::vector<BYTE> set = {0x20, 0x4E, 0x00, 0x00, 'H', 'e', 'a', 'r', 't', 'B', 'e', 'a', 't',
                                 'R',  'a',  't',  'e',  0};
  const ctl::Response pass = request(name, SET_REGISTRY_KEY, set);
  EXPECT_EQ('T', pass.type);
  EXPECT_EQ("SET REGISTRY KEY PASS", ctl::responseText(pass));
  DWORD stored = 0;
  EXPECT_TRUE(registryValue("HeartBeatRate", &stored));
  EXPECT_EQ(20000u, stored);
  EXPECT_EQ(20000u, Settings.HeartBeatRate.load());
  EXPECT_EQ('N', request(name, 0x0E).type);
  port->flash.FlashInProgress = FALSE;
}

TEST_F(PipeCommands, UnknownSettingNameIsRefusedAndNothingWritten) {
  const std::string name = portName("BADKEY");
  ASSERT_NE(nullptr, open(name));
  const std::vector<BYTE> set = {1, 0, 0, 0, 'N', 'o', 'S', 'u', 'c', 'h', 0};
  const ctl::Response fail = request(name, SET_REGISTRY_KEY, set);
  EXPECT_EQ('T', fail.type);
  EXPECT_EQ("SET REGISTRY KEY FAIL", ctl::responseText(fail));
  DWORD value = 0;
  EXPECT_FALSE(registryValue("NoSuch", &value));

  const ctl::Response unknown = request(name, 0x0E);
  EXPECT_EQ('N', unknown.type);
  EXPECT_EQ("Unknown status Language Monitor command", ctl::responseText(unknown));
}

TEST_F(PipeCommands, FlashRefusalIsAnsweredWithItsText) {
  const std::string name = portName("FLASHREQ");
  ASSERT_NE(nullptr, open(name));
  const std::string missing = "C:\\no-such-folder\\firmware.bin";
  std::vector<BYTE> payload(1 + missing.size(), 'N');
  for (size_t i = 0; i < missing.size(); ++i) payload[1 + i] = static_cast<BYTE>(missing[i]);
  const ctl::Response r = request(name, PROGRAM_FLASH, payload);
  EXPECT_EQ('F', r.type);
  EXPECT_EQ("BIN FILE NOT FOUND", ctl::responseText(r));
}

}  // namespace
