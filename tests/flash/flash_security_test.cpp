// The firmware file is read with the rights of the client that asked for the
// update, never with the monitor's own.
#include <gtest/gtest.h>

#include "flash/flash_codes.h"
#include "flash_test_support.h"
#include "platform/caller_identity.h"
#include "port/monitor_state.h"

namespace {

typedef FlashTest FlashSecurity;

TEST_F(FlashSecurity, RequestWithoutAClientToActAsIsRefused) {
  INIPORT* port = open("USB_FS_NO_CLIENT");
  const std::string file = makeFile("FLASHT_TK6A_NOCLIENT.FUL", 10);
  HANDLE notAPipe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  for (HANDLE hClient : {notAPipe, static_cast<HANDLE>(nullptr)}) {
    for (BOOL withChecks : {TRUE, FALSE}) {
      EXPECT_EQ(QX_ERR_BIN_FILE_NOT_FOUND, program(port, file, withChecks, hClient));
      EXPECT_EQ("3,0,0,F,BIN FILE NOT FOUND", currentProgress(port));
      EXPECT_FALSE(HeartbeatOn);
      EXPECT_TRUE(portFree(port));
    }
  }
  CloseHandle(notAPipe);
  EXPECT_TRUE(printer(port).firmwareBytes().empty());
}

TEST_F(FlashSecurity, ClientGetsOnlyFilesItCanReadItself) {
  std::unique_ptr<ClientPipe> otherUser = ClientPipe::ofOtherUser();
  if (otherUser == nullptr) GTEST_SKIP() << "no client of another user can be made here (Wine runs every process as one user)";
  INIPORT* port = open("USB_FS_OTHER_USER");
  const std::string hidden = makeFile("FLASHT_TK6A_HIDDEN.FUL", 100);
  const std::string shared = makeFile("FLASHT_TK6A_SHARED.FUL", 100);
  ASSERT_TRUE(ClientPipe::hideFromOtherUser(hidden.c_str()));

  EXPECT_EQ(QX_ERR_BIN_FILE_NOT_FOUND, program(port, hidden, TRUE, otherUser->serverEnd()));
  EXPECT_EQ("3,0,0,F,BIN FILE NOT FOUND", currentProgress(port));
  EXPECT_FALSE(printer(port).inFlashMode());

  // The thread is itself again: the monitor's own open of the same file works.
  HANDLE own = CreateFileA(hidden.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, own);
  if (own != INVALID_HANDLE_VALUE) CloseHandle(own);

  programAndWait(port, shared, TRUE, otherUser->serverEnd());
  EXPECT_EQ("3,0,0,P,V1.23", currentProgress(port));
  EXPECT_EQ(fileBytes(100), printer(port).firmwareBytes());
}

}  // namespace

namespace {

// The pipe's own client (this process: root natively, the Wine user, an
// administrator, under Wine) may change the machine; another user may not.
TEST(CallerIdentity, OnlyAnAdministratorIsTakenForOne) {
  ClientPipe own;
  ASSERT_TRUE(own.connected());
  PipeCaller caller = {};
  ASSERT_TRUE(identifyPipeCaller(own.serverEnd(), nullptr, nullptr, &caller));
  EXPECT_TRUE(caller.administrator) << caller.name;

  std::unique_ptr<ClientPipe> otherUser = ClientPipe::ofOtherUser();
  if (otherUser == nullptr) GTEST_SKIP() << "no client of another user can be made here";
  ASSERT_TRUE(identifyPipeCaller(otherUser->serverEnd(), nullptr, nullptr, &caller));
  EXPECT_FALSE(caller.administrator);
  EXPECT_STRNE("unknown caller", caller.name);
}

}  // namespace
