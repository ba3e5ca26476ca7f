// The demo's scenarios at a fast time scale: each ends as it is expected to, and a
// run that does not is told apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "ctl_client.h"
#include "demo_run.h"
#include "interrupt.h"
#include "platform/clock.h"
#include "scenario.h"
#include "sim/lower_monitor.h"
#include "ticket_job.h"

namespace {

demo::Options fast(const std::string& port, demo::Fault fault = demo::Fault::None) {
  demo::Options options;
  options.port = port;
  options.fault = fault;
  options.timeScale = 0.01;
  return options;
}

class DemoTest : public ::testing::Test {
 protected:
  void TearDown() override { clockSetScale(1.0); }
};

TEST_F(DemoTest, PlainJobPrintsEveryTicketAndIsReportedOnEveryJobLink) {
  for (const char* port : {"USB071", "LPT71:"}) {
    SCOPED_TRACE(port);
    const demo::Outcome outcome = demo::runDemo(fast(port));
    EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
    EXPECT_EQ(outcome.seen.pagesPrinted, 3u);
    EXPECT_TRUE(outcome.seen.jobBytesIntact);
    EXPECT_TRUE(outcome.seen.reportedPrinted);
    EXPECT_FALSE(outcome.seen.deleted);
  }
}

TEST_F(DemoTest, SerialPortTakesNoJobDataThroughTheMonitor) {
  const demo::Outcome outcome = demo::runDemo(fast("COM71:"));
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.writeRefused);
  EXPECT_EQ(outcome.seen.bytesAtPrinter, 0u);
  EXPECT_FALSE(outcome.seen.ended);
}

TEST_F(DemoTest, PaperOutHoldsTheJobUntilReloadedAndAJamIsNeverReportedPrinted) {
  demo::Options paperOut = fast("USB072", demo::Fault::PaperOut);
  paperOut.tickets = 4;
  demo::Outcome outcome = demo::runDemo(paperOut);
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.paperOutShown);
  EXPECT_GT(outcome.seen.holds, 0u);
  EXPECT_EQ(outcome.seen.pagesPrinted, 4u);
  EXPECT_EQ(outcome.seen.reportsPrinted, 1u);

  outcome = demo::runDemo(fast("USB072", demo::Fault::Jam));
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.jamShown);
  EXPECT_LT(outcome.seen.pagesPrinted, 3u);
}

TEST_F(DemoTest, UsbCrcErrorIsLoggedAndSwallowsTheRest) {
  demo::Options options = fast("USB073", demo::Fault::UsbCrcError);
  options.tickets = 5;
  const demo::Outcome outcome = demo::runDemo(options);
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.crcErrorLogged);
  EXPECT_LT(outcome.seen.bytesAtPrinter, outcome.seen.jobBytes);
}

TEST_F(DemoTest, SilentPrinterShowsOfflineAndTheJobEnds) {
  const demo::Outcome outcome = demo::runDemo(fast("USB074", demo::Fault::SilentPrinter));
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.offlineShown);
}

TEST_F(DemoTest, UsersJobFileIsPrintedAsItIs) {
  const std::vector<BYTE> job = demo::ticketJob(2);
  const std::string path = ::testing::TempDir() + "qxlm-demo-job.bin";
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(job.data(), 1, job.size(), file);
  fclose(file);
  demo::Options options = fast("USB075");
  options.jobFile = path;
  const demo::Outcome outcome = demo::runDemo(options);
  remove(path.c_str());
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_EQ(outcome.seen.jobPages, 2u);
  EXPECT_TRUE(outcome.seen.jobBytesIntact);

  options.jobFile = path;  // gone now
  EXPECT_EQ(demo::runDemo(options).exitCode, demo::kExitUsage);
}

TEST_F(DemoTest, ScenariosThatCannotHappenAreRefused) {
  EXPECT_EQ(demo::runDemo(fast("COM72:", demo::Fault::PaperOut)).exitCode, demo::kExitUsage);
  demo::Options one = fast("USB076", demo::Fault::Jam);
  one.tickets = 1;
  EXPECT_EQ(demo::runDemo(one).exitCode, demo::kExitUsage);
}

TEST(DemoJudge, AJobThatEndedOtherwiseIsNotAsExpected) {
  demo::Observed seen;
  seen.started = true;
  seen.jobPages = 3;
  seen.pagesPrinted = 3;
  seen.jobBytes = seen.bytesAtPrinter = 100;
  seen.jobBytesIntact = true;
  seen.ended = TRUE;
  seen.reportedPrinted = true;
  std::vector<std::string> notes;
  EXPECT_TRUE(demo::judge(fast("USB001"), seen, notes));

  demo::Observed unreported = seen;
  unreported.reportedPrinted = false;
  EXPECT_FALSE(demo::judge(fast("USB001"), unreported, notes));
  // A paper-out run that was never held did not meet its fault.
  seen.paperOutShown = true;
  seen.reportsPrinted = 1;
  EXPECT_FALSE(demo::judge(fast("USB001", demo::Fault::PaperOut), seen, notes));
  seen.holds = 2;
  EXPECT_TRUE(demo::judge(fast("USB001", demo::Fault::PaperOut), seen, notes));
  EXPECT_FALSE(demo::judge(fast("USB001", demo::Fault::UsbCrcError), seen, notes));

  // An abandoned job reported to the spooler is said to be done for the spooler,
  // never to be printed.
  seen.pagesPrinted = 1;
  const std::vector<std::string> lines = demo::resultLines(seen, 1201);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].find("printed 1 of the job's 3 tickets"), lines[0].find("printed"));
  EXPECT_NE(lines[1].find("counts the job done"), std::string::npos);
  EXPECT_EQ(lines[2].find("2 of the job's 3 tickets did not come out"), 0u);
}

TEST(DemoJob, TicketsEndInOnePageEachWhateverTheirLogoHolds) {
  for (unsigned tickets : {1u, 3u, 50u}) EXPECT_EQ(demo::pagesIn(demo::ticketJob(tickets)), tickets);
}

TEST(DemoOptions, CommandLine) {
  const char* good[] = {"qxlm-demo", "--port", "LPT1:", "--tickets", "7", "--fault", "usb-crc", "--time-scale",
                        "0.05", "--keep-open"};
  demo::Options options;
  std::string error;
  ASSERT_TRUE(demo::parseOptions(10, const_cast<char**>(good), options, error)) << error;
  EXPECT_EQ(options.port, "LPT1:");
  EXPECT_EQ(options.tickets, 7u);
  EXPECT_EQ(options.fault, demo::Fault::UsbCrcError);
  EXPECT_DOUBLE_EQ(options.timeScale, 0.05);
  EXPECT_TRUE(options.keepOpen);

  const std::vector<std::vector<const char*>> bad = {
      {"qxlm-demo", "--port", "PRN"},       {"qxlm-demo", "--tickets", "0"},    {"qxlm-demo", "--tickets", "3x"},
      {"qxlm-demo", "--fault", "fire"},     {"qxlm-demo", "--time-scale", "0"}, {"qxlm-demo", "--tickets"},
      {"qxlm-demo", "--what"},
  };
  for (const auto& args : bad) {
    demo::Options ignored;
    EXPECT_FALSE(demo::parseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), ignored, error))
        << args[1];
  }
}

// The keep-open mode serves the port's pipe with the live status until interrupted.
TEST_F(DemoTest, KeepOpenServesLiveStatusUntilInterrupted) {
  demo::Options options = fast("USB077");
  options.keepOpen = true;
  // The scale is set before the wait below reads the clock.
  clockSetScale(options.timeScale);
  demo::clearInterrupt();
  demo::Outcome outcome;
  std::thread run([&] { outcome = demo::runDemo(options); });
  // Interrupts the run and waits for it on every way out of the test.
  struct EndRun {
    std::thread& run;
    void now() {
      if (!run.joinable()) return;
      demo::requestInterrupt();
      run.join();
      demo::clearInterrupt();
    }
    ~EndRun() { now(); }
  } end{run};

  sim::Printer& printer = sim::printer("USB077");
  // Once the job has ended at the printer, the port turns idle and stays open. The
  // client connects only then: the pipe drops a client that stays silent for long.
  EXPECT_TRUE(printer.waitUntil(
      [](const std::vector<sim::Call>& calls) {
        return std::any_of(calls.begin(), calls.end(),
                           [](const sim::Call& call) { return call.entry == sim::Entry::EndDocPort; });
      },
      600000));
  ctl::PipeClient client;
  // The pipe exists from the port's open on.
  ctl::Outcome opened = ctl::Outcome::NoSuchPort;
  for (int tries = 0; tries < 2000 && opened == ctl::Outcome::NoSuchPort; ++tries) {
    opened = client.open("USB077", 60000);
    if (opened == ctl::Outcome::NoSuchPort) clockSleep(100);
  }
  ASSERT_EQ(opened, ctl::Outcome::Ok);
  ctl::Response response;
  for (int asked = 0; asked < 2000 && response.type != 'd'; ++asked) {
    ASSERT_EQ(client.send(ctl::buildRequest(4, {}), 10000, &response), ctl::Outcome::Ok);
    if (response.type != 'd') clockSleep(100);
  }
  ASSERT_EQ(response.type, 'd');
  // Live normal status: command 1 with the longest time-out and ESC I N.
  EXPECT_EQ(client.send(ctl::buildRequest(1, {0xFF, 0xFF, 0x1B, 0x49, 0x4E}), 10000, &response), ctl::Outcome::Ok);
  EXPECT_EQ(response.type, 'P');
  ASSERT_GE(response.payload.size(), 5u);
  EXPECT_EQ(response.payload[0], 'N');
  client.close();

  // A later document of its own on the printer, as a firmware update opens one, is
  // not the job's: the report still follows the job.
  MONITOR lower = sim::lowerMonitor();
  WCHAR portName[] = WSTR("USB077");
  HANDLE other = nullptr;
  ASSERT_TRUE(lower.pfnOpenPort(portName, &other));
  EXPECT_TRUE(lower.pfnStartDocPort(other, portName, 1, 0, nullptr));
  EXPECT_TRUE(lower.pfnEndDocPort(other));
  EXPECT_TRUE(lower.pfnClosePort(other));

  end.now();
  EXPECT_EQ(outcome.exitCode, demo::kExitExpected);
  EXPECT_TRUE(outcome.seen.jobBytesIntact);
  EXPECT_EQ(outcome.seen.pagesPrinted, 3u);
  EXPECT_EQ(printer.openCount(), 0);
}

}  // namespace
