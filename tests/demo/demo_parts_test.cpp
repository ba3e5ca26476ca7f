// The demo's parts that could mislead a watcher: the event log's tail, the spooler's
// view of the port, and the spooler side that must hand over every byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "entry/monitor_entry.h"
#include "event_log_tail.h"
#include "platform/clock.h"
#include "platform/spooler.h"
#include "sim/lower_monitor.h"
#include "sim/recording_spooler.h"
#include "spooler_job.h"
#include "spooler_view.h"
#include "ticket_job.h"

namespace {

std::basic_string<WCHAR> widen(const std::string& text) { return std::basic_string<WCHAR>(text.begin(), text.end()); }

void writeFile(const std::string& path, const std::string& text, const char* mode) {
  FILE* file = fopen(path.c_str(), mode);
  ASSERT_NE(file, nullptr);
  fputs(text.c_str(), file);
  fclose(file);
}

TEST(DemoEventLogTail, TellsEachWholeLineOfThisRunOnce) {
  const std::string path = ::testing::TempDir() + "qxlm-demo-tail.log";
  writeFile(path, "\"0021\",\"old line\"\n", "wb");
  demo::EventLogTail tail(path);
  tail.poll();
  EXPECT_FALSE(tail.sawCode("0021"));  // written before the tail began

  writeFile(path, "\"0023\",\"Start Doc\"\r\n\"0002\",\"CRC", "ab");
  tail.poll();
  EXPECT_TRUE(tail.sawCode("0023"));
  EXPECT_FALSE(tail.sawCode("0002"));  // not yet a whole line
  writeFile(path, " Error\"\r\n", "ab");
  tail.poll();
  EXPECT_TRUE(tail.sawCode("0002"));

  // A trimmed log starts the tail again from its new end.
  writeFile(path, "\"0005\",\"kept\"\n", "wb");
  tail.poll();
  writeFile(path, "\"0009\",\"Close Port\"\n", "ab");
  tail.poll();
  EXPECT_FALSE(tail.sawCode("0005"));
  EXPECT_TRUE(tail.sawCode("0009"));
  remove(path.c_str());
}

void setPort(const std::string& port, DWORD status, DWORD severity) {
  std::basic_string<WCHAR> name = widen(port);
  PORT_INFO_3W info = {status, nullptr, severity};
  spoolerSetPort(nullptr, &name[0], 3, reinterpret_cast<LPBYTE>(&info));
}

TEST(DemoSpoolerView, FollowsItsPortAndItsJobOnly) {
  sim::spooler().reset();
  demo::SpoolerView view("USB078", 7);
  setPort("usb078", PORT_STATUS_PAPER_OUT, PORT_STATUS_TYPE_ERROR);
  setPort("USB079", PORT_STATUS_PAPER_JAM, PORT_STATUS_TYPE_ERROR);
  EXPECT_TRUE(view.statusShown(PORT_STATUS_PAPER_OUT));
  EXPECT_FALSE(view.statusShown(PORT_STATUS_PAPER_JAM));

  std::basic_string<WCHAR> printer = widen("Demo Parts Printer");
  HANDLE hPrinter = nullptr;
  ASSERT_TRUE(spoolerOpenPrinter(&printer[0], &hPrinter, nullptr));
  spoolerSetJob(hPrinter, 8, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_FALSE(view.jobReportedPrinted());
  spoolerSetJob(hPrinter, 7, 0, nullptr, JOB_CONTROL_DELETE);
  EXPECT_TRUE(view.jobDeleted());
  EXPECT_FALSE(view.jobReportedPrinted());
  spoolerSetJob(hPrinter, 7, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
  EXPECT_TRUE(view.jobReportedPrinted());
  spoolerClosePrinter(hPrinter);
}

// A lower port that takes only part of each write: the spooler side passes the rest
// again until the printer has the whole job, in order.
TEST(DemoSpoolerPort, HandsOverEveryByteWhenWritesAreShort) {
  clockSetScale(0.01);
  std::basic_string<WCHAR> root = widen("SOFTWARE\\qxlm-tests\\demo\\short-writes");
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
  LPMONITOREX table = InitializePrintMonitor(&root[0]);
  ASSERT_NE(table, nullptr);
  sim::Printer& printer = sim::printer("USB080");
  printer.reset();
  {
    demo::SpoolerPort port(table, "USB080", "Demo Parts Printer", sim::lowerMonitor());
    ASSERT_TRUE(port.ok());
    printer.addFault(sim::Fault::shortWrite(1, 1000, true));
    const std::vector<BYTE> job = demo::ticketJob(3);
    const demo::JobRun run = port.print(3, job);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.writeRefused);
    EXPECT_EQ(run.bytesTaken, job.size());
    const std::vector<BYTE> received = printer.documentBytes();
    ASSERT_GE(received.size(), job.size());
    EXPECT_TRUE(std::equal(job.begin(), job.end(), received.begin()));
    EXPECT_EQ(printer.pagesPrinted(), 3u);
  }
  EXPECT_EQ(printer.openCount(), 0);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, root.c_str());
  clockSetScale(1.0);
}

}  // namespace
