// The library's export: refusals, the function table and the first settings read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "entry/monitor_entry.h"
#include "foundation_helpers.h"
#include "port/monitor_state.h"
#include "port/port_entry_points.h"
#include "port/settings.h"

namespace {

const int kSlots = 17;

// Slot n (1-based, in the spooler's order) of the table.
void* slot(const MONITOREX* table, int n) {
  void* slots[kSlots];
  static_assert(sizeof slots == sizeof table->Monitor, "MONITOR holds 17 entry points");
  memcpy(slots, &table->Monitor, sizeof slots);
  return slots[n - 1];
}

struct Default {
  const char* name;
  DWORD value;
};

const Default kDefaults[] = {
    {"EOJTimeout", 60000},
    {"EOJEjectSendLastPage", 1},
    {"EnableHeartBeat", 1},
    {"HeartBeatRate", 5000},
    {"EnableDiags", 0},
    {"USBWriteTotalTimeoutMultiplier", 1},
    {"USBWriteTotalTimeoutConstant", 5000},
    {"USBReadIntervalTimeout", 0},
    {"USBReadTotalTimeoutMultiplier", 1},
    {"USBReadTotalTimeoutConstant", 5000},
    {"USBprintingTimeout", 10},
    {"USBWDGlobalEnable", 1},  // every system the tests run on is newer than Server 2003, or not Windows
    {"USBAbortOnWriteTimeout", 1},
    {"SerialPacketSize", 512},
    {"USBPacketSize", 4096},
    {"ECPmode", 1},
    {"LPmode", 0},
    {"DRWenable", 0},
    {"DRWdebugMask", 1},
    {"DRWpollTime", 60},
    {"DRWMaxFileSize", 1500000},
    {"DRWMinFileSize", 1000000},
    {"USBWDtimeout", 255},
    {"JAVAlowPaperDisable", 0},
    {"JAVAticketNotTakenDisable", 0},
};

Relaxed<DWORD>* const kMemory[] = {
    &Settings.EOJTimeout, &Settings.EOJEjectSendLastPage, &Settings.EnableHeartBeat, &Settings.HeartBeatRate,
    &Settings.EnableDiags, &Settings.USBWriteTotalTimeoutMultiplier, &Settings.USBWriteTotalTimeoutConstant,
    &Settings.USBReadIntervalTimeout, &Settings.USBReadTotalTimeoutMultiplier,
    &Settings.USBReadTotalTimeoutConstant, &Settings.USBprintingTimeout, &Settings.USBWDGlobalEnable,
    &Settings.USBAbortOnWriteTimeout, &Settings.SerialPacketSize, &Settings.USBPacketSize, &Settings.ECPmode,
    &Settings.LPmode, &Settings.DRWenable, &Settings.DRWdebugMask, &Settings.DRWpollTime, &Settings.DRWMaxFileSize,
    &Settings.DRWMinFileSize, &Settings.USBWDtimeout, &Settings.JAVAlowPaperDisable,
    &Settings.JAVAticketNotTakenDisable,
};

TEST(MonitorEntry, RefusesAMissingOrEmptyRoot) {
  SetLastError(0);
  EXPECT_EQ(nullptr, InitializePrintMonitor(nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

  WCHAR empty[] = {0};
  SetLastError(0);
  EXPECT_EQ(nullptr, InitializePrintMonitor(empty));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(MonitorEntry, RefusesARootTooLongToKeep) {
  // Cut to 511 characters, the root would name another key.
  TestKey key("MonitorEntry.RefusesARootTooLongToKeep");
  WideString root(key.root());
  while (root.size() < REGISTRY_ROOT_CHARS) {  // key names have at most 255 characters each
    root += WSTR("\\");
    root.append(std::min<size_t>(200, REGISTRY_ROOT_CHARS - root.size()), WCHAR('x'));
  }
  ASSERT_EQ(static_cast<size_t>(REGISTRY_ROOT_CHARS), root.size());

  SetLastError(0);
  EXPECT_EQ(nullptr, InitializePrintMonitor(&root[0]));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(key.exists());

  root.pop_back();  // 511 characters fit
  EXPECT_NE(nullptr, InitializePrintMonitor(&root[0]));
  EXPECT_EQ(0, lstrcmpW(RegistryRoot, root.c_str()));
}

TEST(MonitorEntry, ReturnsOneLanguageMonitorTable) {
  TestKey key("MonitorEntry.ReturnsOneLanguageMonitorTable");
  LPMONITOREX first = InitializePrintMonitor(key.root());
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(136u, first->dwMonitorSize);
  for (int n : {1, 2, 9, 10, 11, 12, 14, 15, 16, 17}) EXPECT_EQ(nullptr, slot(first, n)) << "slot " << n;

  EXPECT_EQ(first, InitializePrintMonitor(key.root()));
  EXPECT_EQ(0, lstrcmpW(RegistryRoot, key.root()));
}

TEST(MonitorEntry, FillsTheLanguageMonitorSlots) {
  struct Filled {
    int slot;
    void* entry;
  };
  const Filled expected[] = {
      {3, reinterpret_cast<void*>(MonOpenPort)},
      {4, reinterpret_cast<void*>(MonStartDoc)},
      {5, reinterpret_cast<void*>(MonWritePort)},
      {6, reinterpret_cast<void*>(PJLMonReadPort)},
      {7, reinterpret_cast<void*>(MonEndDocPort)},
      {8, reinterpret_cast<void*>(MonClosePort)},
      {13, reinterpret_cast<void*>(MonGetPrinterDataFromPort)},
  };
  TestKey key("MonitorEntry.FillsTheLanguageMonitorSlots");
  LPMONITOREX table = InitializePrintMonitor(key.root());
  ASSERT_NE(nullptr, table);
  for (const Filled& f : expected) EXPECT_EQ(f.entry, slot(table, f.slot)) << "slot " << f.slot;
}

TEST(MonitorEntry, FreshKeyGetsEveryDefault) {
  TestKey key("MonitorEntry.FreshKeyGetsEveryDefault");
  for (Relaxed<DWORD>* setting : kMemory) *setting = 0xDEAD;
  wdHeartBeatRate = 1;

  ASSERT_NE(nullptr, InitializePrintMonitor(key.root()));

  for (size_t i = 0; i < sizeof kDefaults / sizeof kDefaults[0]; ++i) {
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = 0;
    ASSERT_TRUE(key.query(kDefaults[i].name, &type, &value, &size)) << kDefaults[i].name;
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << kDefaults[i].name;
    EXPECT_EQ(4u, size) << kDefaults[i].name;
    EXPECT_EQ(kDefaults[i].value, value) << kDefaults[i].name;
    EXPECT_EQ(kDefaults[i].value, kMemory[i]->load()) << kDefaults[i].name;
  }
  EXPECT_EQ(5000u, wdHeartBeatRate.load());
}

}  // namespace
