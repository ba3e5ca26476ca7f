// Request framing and response building, on a port record without threads.
#include <vector>

#include <cstring>
#include <memory>

#include "pipe/pipe_commands.h"
#include "pipe_test_support.h"
#include "platform/caller_identity.h"
#include "port/monitor_state.h"

namespace {

class PipePacket : public PipePortTest {
 protected:
  void SetUp() override {
    PipePortTest::SetUp();
    ASSERT_TRUE(start());
    EnterCriticalSection(&SplSem);
    port = CreatePortEntry(WSTR("USBPACKET"));
    LeaveCriticalSection(&SplSem);
    ASSERT_NE(nullptr, port);
    strcpy(port->PortNameA, "USBPACKET");
    // The record has no pipe to tell who asks: the requests come from an administrator.
    PipeCaller administrator = {TRUE, "test administrator"};
    injectPipeCaller(&administrator);
  }
  void TearDown() override {
    injectPipeCaller(nullptr);
    EnterCriticalSection(&SplSem);
    RemovePortEntry(port);
    LeaveCriticalSection(&SplSem);
    PipePortTest::TearDown();
  }

  // The response to the received bytes, taken apart; the request is passed in a
  // block of exactly its size, so a read past it is caught natively under ASan.
  ctl::Response respond(const std::vector<BYTE>& received) {
    std::unique_ptr<BYTE[]> exact(new BYTE[received.size()]);
    std::copy(received.begin(), received.end(), exact.get());
    BYTE response[PIPE_RESPONSE_SIZE];
    DWORD length = 0;
    EXPECT_TRUE(buildClientResponse(exact.get(), static_cast<DWORD>(received.size()), response, &length, port));
    ctl::Response parsed;
    EXPECT_TRUE(ctl::parseResponse(std::vector<BYTE>(response, response + length), &parsed));
    return parsed;
  }

  void expectBad(const std::vector<BYTE>& received) {
    const ctl::Response r = respond(received);
    EXPECT_EQ('B', r.type);
    EXPECT_EQ("Bad packet received", ctl::responseText(r));
  }

  INIPORT* port = nullptr;
};

TEST_F(PipePacket, ChecksumCoversEveryByteBeforeIt) {
  const ctl::Response version = respond({0x03, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0B});
  EXPECT_EQ('P', version.type);
  EXPECT_EQ("2.00 build 00 01/04/2017", ctl::responseText(version));
  expectBad({0x03, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0C});

  // The spare byte counts: 0x7F more in it needs 0x7F more in the sum.
  EXPECT_EQ('P', respond({0x03, 0x7F, 0x00, 0x00, 0x08, 0x00, 0x8A}).type);
  expectBad({0x03, 0x7F, 0x00, 0x00, 0x08, 0x00, 0x0B});
  expectBad({0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0A});

  // 300 bytes of 0xFF sum past 65535: the comparison is modulo 65536.
  std::vector<BYTE> payload(300, 0xFF);
  std::vector<BYTE> unknown = ctl::buildRequest(0x0E, payload);
  DWORD sum = 0;
  for (size_t i = 0; i + 2 < unknown.size(); ++i) sum += unknown[i];
  ASSERT_GT(sum, 65535u);
  EXPECT_EQ(static_cast<BYTE>((sum >> 8) & 0xFF), unknown[unknown.size() - 2]);
  EXPECT_EQ('N', respond(unknown).type);
}

TEST_F(PipePacket, DeclaredLengthNeverReachesPastWhatArrived) {
  expectBad({0x03, 0x00});                                        // shorter than any packet
  expectBad({0x03, 0x00, 0x00, 0x05, 0x0E, 1, 2, 0x00, 0x18});   // declares 5, carries 2
  std::vector<BYTE> oversized(PIPE_REQUEST_SIZE, 0);
  oversized[0] = 0x03;
  oversized[2] = 0xFF;  // 65535 bytes declared in a 2048-byte message
  oversized[3] = 0xFF;
  oversized[4] = 0x0E;
  expectBad(oversized);
  // Trailing bytes after a whole packet are not read as part of it.
  EXPECT_EQ('P', respond({0x03, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0B, 0x99}).type);
}

TEST_F(PipePacket, ArgumentsOutsideTheirBoundsAreBadPackets) {
  expectBad(ctl::buildRequest(GET_REAL_TIME_STATUS, {0x00}));
  expectBad(ctl::buildRequest(GET_REAL_TIME_STATUS, std::vector<BYTE>(131, 0x1B)));
  expectBad(ctl::buildRequest(PROGRAM_FLASH, {}));
  // 130 bytes is the most a real-time request holds, but not one status request.
  EXPECT_EQ('F', respond(ctl::buildRequest(GET_REAL_TIME_STATUS, std::vector<BYTE>(130, 0))).type);
}

TEST_F(PipePacket, ResponsesAreFramedWithTheirNul) {
  BYTE out[PIPE_RESPONSE_SIZE];
  DWORD length = 0;
  buildPacket('O', nullptr, 0, out, &length, port);
  EXPECT_EQ(std::vector<BYTE>({0x03, 0x00, 0x00, 0x00, 0x4F, 0x00, 0x52}), std::vector<BYTE>(out, out + length));

  const ctl::Response unknown = respond(ctl::buildRequest(0x0E, {}));
  EXPECT_EQ('N', unknown.type);
  ASSERT_FALSE(unknown.payload.empty());
  EXPECT_EQ(0, unknown.payload.back());
  EXPECT_EQ(strlen("Unknown status Language Monitor command") + 1, unknown.payload.size());

  // "Set Heartbeat": 13 letters and the NUL.
  const ctl::Response heartbeat = respond(ctl::buildRequest(SET_HEARTBEAT, {1}));
  EXPECT_EQ('P', heartbeat.type);
  EXPECT_EQ(14u, heartbeat.payload.size());
}

}  // namespace
