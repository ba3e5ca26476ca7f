// Who may run which command: reading is open to every local user, a status request
// only in its read forms, and the rest needs an administrator.
#include <vector>

#include "pipe/pipe_commands.h"
#include "pipe_test_support.h"
#include "platform/caller_identity.h"
#include "port/monitor_state.h"
#include "port/settings.h"

namespace {

const char kDenied[] = "ACCESS DENIED - ADMINISTRATOR REQUIRED";

std::vector<BYTE> setRequest(DWORD value, const std::string& name) {
  std::vector<BYTE> payload = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                               static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  for (char c : name) payload.push_back(static_cast<BYTE>(c));
  payload.push_back(0);
  return payload;
}

class PipeAuthorization : public PipePortTest {
 protected:
  void TearDown() override {
    injectPipeCaller(nullptr);
    PipePortTest::TearDown();
  }
  void callerIs(BOOL administrator) {
    PipeCaller caller = {administrator, "test caller"};
    injectPipeCaller(&caller);
  }
};

TEST_F(PipeAuthorization, AnOrdinaryUserReadsButChangesNothing) {
  const std::string name = portName("AUTH");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  callerIs(FALSE);
  EXPECT_EQ(name, ctl::responseText(request(name, GET_PORT_NAME)));
  EXPECT_EQ("2.00 build 00 01/04/2017", ctl::responseText(request(name, GET_LM_VERSION)));
  EXPECT_EQ('d', request(name, GET_DPRINT_STATE).type);

  HeartbeatOn = TRUE;
  const DWORD rate = Settings.HeartBeatRate;
  const DWORD mode = Settings.EOJEjectSendLastPage;
  const struct {
    BYTE code;
    std::vector<BYTE> payload;
  } changes[] = {{SET_HEARTBEAT, {0}},
                 {SET_HEARTBEAT_RATE, {0x10, 0x27, 0, 0}},
                 {SET_SPOOLER_MODE, {static_cast<BYTE>(mode == 0)}},
                 {PROGRAM_FLASH, {'N', 'x', '.', 'B', 'I', 'N'}},
                 {ABORT_DOCUMENT, {}},
                 {SET_REGISTRY_KEY, setRequest(0, "DRWenable")}};
  for (const auto& change : changes) {
    const ctl::Response r = request(name, change.code, change.payload);
    EXPECT_EQ('F', r.type) << static_cast<int>(change.code);
    EXPECT_EQ(kDenied, ctl::responseText(r)) << static_cast<int>(change.code);
  }
  EXPECT_TRUE(HeartbeatOn);
  EXPECT_EQ(rate, Settings.HeartBeatRate.load());
  EXPECT_EQ(mode, Settings.EOJEjectSendLastPage.load());
  EXPECT_FALSE(port->doc.AbortPending);
  EXPECT_FALSE(port->flash.FlashInProgress);
  DWORD stored = 0;
  ASSERT_TRUE(registryValue("DRWenable", &stored));

  callerIs(TRUE);
  EXPECT_EQ("Abort Document", ctl::responseText(request(name, ABORT_DOCUMENT)));
  EXPECT_TRUE(port->doc.AbortPending);
}

TEST_F(PipeAuthorization, ALiveStatusIsOneReadRequestAndATicketNeedsAnAdministrator) {
  const std::string name = portName("AUTHRT");
  INIPORT* port = open(name);
  ASSERT_NE(nullptr, port);
  port->link.goodCommWithPrinter = TRUE;
  callerIs(FALSE);
  // The status thread may still serve this request, and the heartbeat polls: only
  // the ticket is looked for below.
  EXPECT_EQ('T', request(name, GET_REAL_TIME_STATUS, {0, 0, 0x1B, 'I', 'N'}).type);
  const ctl::Response raw = request(name, GET_REAL_TIME_STATUS, {0x03, 0xE8, 'T', 'I', 'C', 'K', 'E', 'T'});
  EXPECT_EQ('F', raw.type);
  EXPECT_EQ("NOT A STATUS REQUEST", ctl::responseText(raw));
  const std::vector<BYTE> ticket = {0x03, 0xE8, 0x1B, 'I', 'A', 'c', 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(kDenied, ctl::responseText(request(name, GET_REAL_TIME_STATUS, ticket)));
  EXPECT_TRUE(printer(name).f0Tickets().empty());
}

TEST_F(PipeAuthorization, AnAdministratorStoresOnlyValuesThatKeepThePortWorking) {
  const std::string name = portName("AUTHSET");
  ASSERT_NE(nullptr, open(name));
  callerIs(TRUE);
  setting("USBWriteTotalTimeoutConstant", 5000);
  EXPECT_EQ("SET REGISTRY KEY FAIL",
            ctl::responseText(request(name, SET_REGISTRY_KEY, setRequest(0xFFFFFFFFu, "USBWriteTotalTimeoutConstant"))));
  EXPECT_EQ("SET REGISTRY KEY FAIL",
            ctl::responseText(request(name, SET_REGISTRY_KEY, setRequest(0, "DRWMaxFileSize"))));
  DWORD stored = 0;
  ASSERT_TRUE(registryValue("USBWriteTotalTimeoutConstant", &stored));
  EXPECT_EQ(5000u, stored);
  EXPECT_EQ("SET REGISTRY KEY PASS",
            ctl::responseText(request(name, SET_REGISTRY_KEY, setRequest(20000, "USBWriteTotalTimeoutConstant"))));
  EXPECT_EQ(20000u, Settings.USBWriteTotalTimeoutConstant.load());
  EXPECT_EQ('F', request(name, SET_HEARTBEAT_RATE, {0, 0, 0, 0}).type);
}

}  // namespace
