// Reading the 25 settings and writing one on request.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entry/monitor_entry.h"
#include "foundation_helpers.h"
#include "platform/debug_output.h"
#include "port/monitor_state.h"
#include "port/settings.h"

namespace {

const DWORD kUntouched = 0xDEAD;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { fillMemory(kUntouched); }
  void TearDown() override {
    debugOutputCapture(nullptr, nullptr);
    Settings.EnableDiags = 0;
  }

  static void fillMemory(DWORD value) {
    Relaxed<DWORD>* all[] = {
        &Settings.EOJTimeout, &Settings.EOJEjectSendLastPage, &Settings.EnableHeartBeat, &Settings.HeartBeatRate,
        &Settings.EnableDiags, &Settings.USBWriteTotalTimeoutMultiplier, &Settings.USBWriteTotalTimeoutConstant,
        &Settings.USBReadIntervalTimeout, &Settings.USBReadTotalTimeoutMultiplier,
        &Settings.USBReadTotalTimeoutConstant, &Settings.USBprintingTimeout, &Settings.USBWDGlobalEnable,
        &Settings.USBAbortOnWriteTimeout, &Settings.SerialPacketSize, &Settings.USBPacketSize, &Settings.ECPmode,
        &Settings.LPmode, &Settings.DRWenable, &Settings.DRWdebugMask, &Settings.DRWpollTime,
        &Settings.DRWMaxFileSize, &Settings.DRWMinFileSize, &Settings.USBWDtimeout, &Settings.JAVAlowPaperDisable,
        &Settings.JAVAticketNotTakenDisable,
    };
    for (Relaxed<DWORD>* setting : all) *setting = value;
    wdHeartBeatRate = value;
  }
};

TEST_F(SettingsTest, StoredHeartBeatRateIsKeptWhileTheWatchdogRateRestarts) {
  TestKey key("SettingsTest.StoredHeartBeatRate");
  key.setDword("HeartBeatRate", 2000);
  key.setDword("USBWDtimeout", 0xFFFFFFFF);  // stored values are taken as they are

  ASSERT_EQ(ERROR_SUCCESS, readMonitorSettings(key.root()));
  EXPECT_EQ(2000u, Settings.HeartBeatRate.load());
  EXPECT_EQ(5000u, wdHeartBeatRate.load());
  EXPECT_EQ(0xFFFFFFFFu, Settings.USBWDtimeout.load());

  wdHeartBeatRate = 700;  // as the pipe's heartbeat command leaves it
  ASSERT_EQ(ERROR_SUCCESS, readMonitorSettings(key.root()));
  EXPECT_EQ(5000u, wdHeartBeatRate.load());
}

TEST_F(SettingsTest, ValuesThatAreNotFourBytesAreReplacedByTheirDefault) {
  TestKey key("SettingsTest.ValuesThatAreNotFourBytes");
  const WCHAR text[] = WSTR("8192 bytes");
  key.set("USBPacketSize", REG_SZ, text, sizeof text);
  const BYTE number[4] = {0x34, 0x12, 0, 0};
  key.set("DRWpollTime", REG_BINARY, number, sizeof number);
  const BYTE shortNumber[2] = {0x10, 0x00};
  key.set("USBWDtimeout", REG_BINARY, shortNumber, sizeof shortNumber);

  ASSERT_EQ(ERROR_SUCCESS, readMonitorSettings(key.root()));

  DWORD type = REG_NONE;
  DWORD value = 0;
  ASSERT_TRUE(key.query("USBPacketSize", &type, &value));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4096u, value);
  EXPECT_EQ(4096u, Settings.USBPacketSize.load());

  // Four bytes of any type are a number, and stay as they were stored.
  ASSERT_TRUE(key.query("DRWpollTime", &type, &value));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(0x1234u, Settings.DRWpollTime.load());

  // Two bytes are no 32-bit number at all.
  ASSERT_TRUE(key.query("USBWDtimeout", &type, &value));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(255u, value);
  EXPECT_EQ(255u, Settings.USBWDtimeout.load());
}

TEST_F(SettingsTest, SetRegistrySettingWritesOnlyKnownNames) {
  TestKey key("SettingsTest.SetRegistrySetting");
  ASSERT_NE(nullptr, InitializePrintMonitor(key.root()));
  ASSERT_EQ(4096u, Settings.USBPacketSize.load());

  EXPECT_FALSE(setRegistrySetting("usbpacketsize", 1024));
  EXPECT_FALSE(setRegistrySetting("END", 1024));
  EXPECT_FALSE(setRegistrySetting("NoSuchSetting", 1024));
  DWORD type = REG_NONE;
  DWORD value = 0;
  ASSERT_TRUE(key.query("USBPacketSize", &type, &value));
  EXPECT_EQ(4096u, value);
  EXPECT_FALSE(key.query("END", &type, &value));
  EXPECT_FALSE(key.query("NoSuchSetting", &type, &value));

  EXPECT_TRUE(setRegistrySetting("USBPacketSize", 1024));
  ASSERT_TRUE(key.query("USBPacketSize", &type, &value));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(1024u, value);
  EXPECT_EQ(4096u, Settings.USBPacketSize.load());  // memory follows at the next read

  ASSERT_EQ(ERROR_SUCCESS, readMonitorSettings(RegistryRoot));
  EXPECT_EQ(1024u, Settings.USBPacketSize.load());
}

// The registry offers no portable way to refuse one write to a key that the
// monitor opened for writing, but a key deleted under an open handle refuses every
// later write on both builds. The first write-back of a default is traced, and the
// trace deletes the key: the read then stops at the next value.
struct DeleteOnWriteBack {
  LPCWSTR root;
  int fired;
};

void deleteKeyOnWriteBack(LPCSTR line, void* context) {
  DeleteOnWriteBack* hook = static_cast<DeleteOnWriteBack*>(context);
  if (hook->fired == 0 && strncmp(line, "readSettingDword - ", 19) == 0) {
    ++hook->fired;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, hook->root);
  }
}

TEST_F(SettingsTest, AFailedWriteBackStopsTheRead) {
  TestKey key("SettingsTest.AFailedWriteBackStopsTheRead");
  const char* present[] = {"EOJTimeout", "EOJEjectSendLastPage", "EnableHeartBeat", "HeartBeatRate",
                           "USBWriteTotalTimeoutMultiplier"};
  for (const char* name : present) key.setDword(name, 3);
  key.setDword("EnableDiags", 1);  // keeps the write-back traced

  DeleteOnWriteBack hook = {key.root(), 0};
  debugOutputCapture(deleteKeyOnWriteBack, &hook);
  const LONG error = readMonitorSettings(key.root());
  debugOutputCapture(nullptr, nullptr);

  EXPECT_NE(ERROR_SUCCESS, error);
  EXPECT_EQ(1, hook.fired);
  EXPECT_EQ(3u, Settings.USBWriteTotalTimeoutMultiplier.load());
  EXPECT_EQ(5000u, Settings.USBWriteTotalTimeoutConstant.load());  // written back, then the key went
  EXPECT_EQ(0u, Settings.USBReadIntervalTimeout.load());           // its default; the write-back failed
  EXPECT_EQ(kUntouched, Settings.USBReadTotalTimeoutMultiplier.load());
  EXPECT_EQ(kUntouched, Settings.USBWDGlobalEnable.load());
  EXPECT_EQ(kUntouched, Settings.JAVAticketNotTakenDisable.load());
}

TEST_F(SettingsTest, TheHeartBeatRateRestartsEvenWhenTheReadStopsEarly) {
  TestKey key("SettingsTest.HeartBeatRateRestartsEvenWhenStopped");
  Settings.EnableDiags = 1;
  DeleteOnWriteBack hook = {key.root(), 0};
  debugOutputCapture(deleteKeyOnWriteBack, &hook);
  const LONG error = readMonitorSettings(key.root());
  debugOutputCapture(nullptr, nullptr);

  EXPECT_NE(ERROR_SUCCESS, error);
  EXPECT_EQ(60000u, Settings.EOJTimeout.load());
  EXPECT_EQ(1u, Settings.EOJEjectSendLastPage.load());
  EXPECT_EQ(kUntouched, Settings.EnableHeartBeat.load());
  EXPECT_EQ(5000u, Settings.HeartBeatRate.load());
  EXPECT_EQ(5000u, wdHeartBeatRate.load());
  EXPECT_EQ(kUntouched, Settings.USBPacketSize.load());
}

TEST_F(SettingsTest, InitializePrintMonitorFailsWhenTheReadStops) {
  TestKey kept("SettingsTest.InitializePrintMonitorFails.Kept");
  ASSERT_NE(nullptr, InitializePrintMonitor(kept.root()));

  TestKey key("SettingsTest.InitializePrintMonitorFails");
  Settings.EnableDiags = 1;
  DeleteOnWriteBack hook = {key.root(), 0};
  debugOutputCapture(deleteKeyOnWriteBack, &hook);
  SetLastError(0);
  EXPECT_EQ(nullptr, InitializePrintMonitor(key.root()));
  const DWORD lastError = GetLastError();
  debugOutputCapture(nullptr, nullptr);

  EXPECT_NE(0u, lastError);
  EXPECT_EQ(0, lstrcmpW(RegistryRoot, kept.root()));
}

}  // namespace
