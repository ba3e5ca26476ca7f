// The recording spooler: what it records, the handles it hands out, and the
// failures tests can plan.
#include <gtest/gtest.h>

#include <thread>

#include "lower_port.h"
#include "platform/clock.h"
#include "platform/spooler.h"
#include "sim/recording_spooler.h"

namespace {

using sim::SpoolerCall;
using simtest::wide;

class RecordingSpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::spooler().reset(); }
  void TearDown() override {
    sim::spooler().reset();
    clockSetScale(1.0);
  }

  static BOOL setPort(const std::string& port, DWORD status, DWORD severity) {
    simtest::WideString name = wide(port);
    PORT_INFO_3W info{status, nullptr, severity};
    return spoolerSetPort(nullptr, &name[0], 3, reinterpret_cast<LPBYTE>(&info));
  }

  static HANDLE openPrinter(const std::string& printerName) {
    simtest::WideString name = wide(printerName);
    HANDLE h = nullptr;
    return spoolerOpenPrinter(&name[0], &h, nullptr) ? h : nullptr;
  }
};

TEST_F(RecordingSpoolerTest, RecordsEveryCallInOrderWithCopiedValues) {
  simtest::WideString port = wide("USB-RS1");
  PORT_INFO_3W info{PORT_STATUS_PAPER_OUT, nullptr, PORT_STATUS_TYPE_ERROR};
  ASSERT_TRUE(spoolerSetPort(nullptr, &port[0], 3, reinterpret_cast<LPBYTE>(&info)));
  info.dwStatus = PORT_STATUS_DOOR_OPEN;  // the caller's block changes after the call

  HANDLE h = openPrinter("Ticket Printer RS1");
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(spoolerSetJob(h, 42, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));
  ASSERT_TRUE(spoolerClosePrinter(h));

  const auto calls = sim::spooler().calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].call, SpoolerCall::SetPort);
  EXPECT_EQ(calls[0].name, "USB-RS1");
  EXPECT_EQ(calls[0].status, static_cast<DWORD>(PORT_STATUS_PAPER_OUT));
  EXPECT_EQ(calls[0].severity, static_cast<DWORD>(PORT_STATUS_TYPE_ERROR));
  EXPECT_EQ(calls[1].call, SpoolerCall::OpenPrinter);
  EXPECT_EQ(calls[1].name, "Ticket Printer RS1");
  EXPECT_EQ(calls[1].printer, h);
  EXPECT_EQ(calls[2].call, SpoolerCall::SetJob);
  EXPECT_EQ(calls[2].jobId, 42u);
  EXPECT_EQ(calls[2].command, static_cast<DWORD>(JOB_CONTROL_LAST_PAGE_EJECTED));
  EXPECT_EQ(calls[3].call, SpoolerCall::ClosePrinter);
  EXPECT_EQ(sim::spooler().calls(SpoolerCall::SetJob).size(), 1u);
}

TEST_F(RecordingSpoolerTest, HandlesAreFreshAndCountedUntilClosed) {
  HANDLE a = openPrinter("P-A");
  HANDLE b = openPrinter("P-B");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(sim::spooler().openPrinterCount(), 2);
  EXPECT_TRUE(spoolerClosePrinter(a));
  EXPECT_EQ(sim::spooler().openPrinterCount(), 1);

  // A closed handle is refused like the spooler refuses it.
  EXPECT_FALSE(spoolerClosePrinter(a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(spoolerSetJob(a, 1, 0, nullptr, JOB_CONTROL_DELETE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE c = openPrinter("P-C");
  EXPECT_NE(c, a);
  EXPECT_TRUE(spoolerClosePrinter(b));
  EXPECT_TRUE(spoolerClosePrinter(c));
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
}

TEST_F(RecordingSpoolerTest, PlannedFailuresFireOnceOrUntilStopped) {
  sim::spooler().failNext(SpoolerCall::OpenPrinter, ERROR_ACCESS_DENIED);
  HANDLE h = reinterpret_cast<HANDLE>(1);
  simtest::WideString name = wide("P-F");
  EXPECT_FALSE(spoolerOpenPrinter(&name[0], &h, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(h, nullptr);
  HANDLE ok = openPrinter("P-F");
  ASSERT_NE(ok, nullptr);

  sim::spooler().failAlways(SpoolerCall::SetJob, ERROR_NOT_ENOUGH_MEMORY);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(spoolerSetJob(ok, 7, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  }
  sim::spooler().stopFailing(SpoolerCall::SetJob);
  EXPECT_TRUE(spoolerSetJob(ok, 7, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED));

  sim::spooler().failNext(SpoolerCall::ClosePrinter, ERROR_GEN_FAILURE);
  EXPECT_FALSE(spoolerClosePrinter(ok));
  EXPECT_EQ(sim::spooler().openPrinterCount(), 1);  // a failed close leaves it open
  EXPECT_TRUE(spoolerClosePrinter(ok));

  const auto setJobs = sim::spooler().calls(SpoolerCall::SetJob);
  ASSERT_EQ(setJobs.size(), 4u);
  EXPECT_FALSE(setJobs[0].result);
  EXPECT_EQ(setJobs[0].lastError, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(setJobs[3].result);
}

TEST_F(RecordingSpoolerTest, LastPortStatusFollowsSuccessfulPostsOfThatPort) {
  EXPECT_FALSE(sim::spooler().lastPortStatus("USB-RS2").has_value());
  ASSERT_TRUE(setPort("USB-RS2", PORT_STATUS_OFFLINE, PORT_STATUS_TYPE_ERROR));
  ASSERT_TRUE(setPort("USB-RS3", PORT_STATUS_PAPER_JAM, PORT_STATUS_TYPE_ERROR));
  sim::spooler().failNext(SpoolerCall::SetPort, ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(setPort("USB-RS2", PORT_STATUS_PAPER_OUT, PORT_STATUS_TYPE_ERROR));

  const auto status = sim::spooler().lastPortStatus("usb-rs2");
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, static_cast<DWORD>(PORT_STATUS_OFFLINE));
  ASSERT_TRUE(setPort("USB-RS2", 0, 0));
  EXPECT_EQ(sim::spooler().lastPortStatus("USB-RS2")->status, 0u);
}

TEST_F(RecordingSpoolerTest, WaitsForARecordFromAnotherThreadOrTimesOut) {
  clockSetScale(0.01);
  std::thread poster([] {
    clockSleep(200);
    setPort("USB-RS4", PORT_STATUS_OUTPUT_BIN_FULL, PORT_STATUS_TYPE_INFO);
  });
  const bool seen = sim::spooler().waitUntil(
      [](const std::vector<sim::SpoolerRecord>& r) { return !r.empty() && r.back().name == "USB-RS4"; }, 100000);
  poster.join();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(sim::spooler().waitUntil([](const std::vector<sim::SpoolerRecord>& r) { return r.size() > 5; }, 300));
}

TEST_F(RecordingSpoolerTest, ResetForgetsRecordsHandlesAndPlans) {
  openPrinter("P-R");
  sim::spooler().failAlways(SpoolerCall::SetPort, ERROR_GEN_FAILURE);
  sim::spooler().reset();
  EXPECT_TRUE(sim::spooler().calls().empty());
  EXPECT_EQ(sim::spooler().openPrinterCount(), 0);
  EXPECT_TRUE(setPort("USB-RS5", 0, 0));
}

}  // namespace
