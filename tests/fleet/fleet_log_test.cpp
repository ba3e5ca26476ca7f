// qxlm-ctl log: the filters on a log of known lines, and a follower that reads the
// monitor's own log while the monitor trims it.
#include <gtest/gtest.h>

#include "ctl_command_line.h"
#include "ctl_fleet_command_line.h"
#include "ctl_log_follow.h"
#include "fleet_test_support.h"
#include "foundation_helpers.h"
#include "log/event_log.h"
#include "port/settings.h"

namespace {

class FleetLog : public ::testing::Test {
 protected:
  void SetUp() override {
    printer = "qxlm fleet log " + std::to_string(static_cast<unsigned>(GetCurrentProcessId()));
    port = makeTestPort(widen(printer));
    char buffer[LOG_PATH_SIZE];
    ASSERT_TRUE(BuildLogFilePath(port.get(), buffer, sizeof buffer));
    path = buffer;
    Settings.DRWenable = 1;
    Settings.DRWdebugMask = DRW_ERRORS;
  }
  void TearDown() override {
    deleteFile(path);
    deleteFile(path + "bak");
    Settings.DRWenable = 0;
    Settings.DRWdebugMask = 1;
    Settings.DRWMaxFileSize = 1500000;
    Settings.DRWMinFileSize = 1000000;
  }
  void entries(int from, int to) {
    for (int n = from; n <= to; ++n) {
      ASSERT_TRUE(TextLogFile(port.get(), ("entry " + std::to_string(n)).c_str(), "0021", DRW_ERRORS));
    }
  }

  std::string printer;
  TestPort port;
  std::string path;
};

std::vector<std::string> texts(const std::vector<ctl::LogLine>& lines) {
  std::vector<std::string> result;
  for (const ctl::LogLine& line : lines) result.push_back(line.text);
  return result;
}

std::vector<std::string> entryTexts(int from, int to) {
  std::vector<std::string> result;
  for (int n = from; n <= to; ++n) result.push_back("entry " + std::to_string(n));
  return result;
}

TEST_F(FleetLog, FiltersByCodeTimeAndText) {
  writeFile(path,
            "\"0021\",\"2017/01/04\",\"14:05:09\",\"Ready Heart Beat\"\r\n"
            "\"0015\",\"2017/01/04\",\"14:06:00\",\"Paper-Out\x1b[2J Heart Beat\"\r\n"
            "not a line of the log\r\n"
            "\"0021\",\"2017/01/05\",\"09:00:00\",\"Ready \"Heart\" Beat\"\r\n"
            "\"0015\",\"2017/01/05\",\"09:30:00\",\"Paper-Out While Printing\"\r\n");
  const CtlRun all = ctlRun({"log", printer});
  EXPECT_EQ(ctl::EXIT_OK, all.exit) << all.err;
  const std::vector<std::string> lines = outputLines(all.out);
  ASSERT_EQ(4u, lines.size()) << all.out;
  EXPECT_EQ("2017/01/04 14:05:09  0021  " + printer + "  Ready Heart Beat", lines[0]);
  EXPECT_EQ("2017/01/05 09:00:00  0021  " + printer + "  Ready \"Heart\" Beat", lines[2]);
  // A planted escape sequence reaches no terminal.
  EXPECT_EQ("2017/01/04 14:06:00  0015  " + printer + "  Paper-Out?[2J Heart Beat", lines[1]);

  EXPECT_EQ(2u, outputLines(ctlRun({"log", printer, "--code", "0015"}).out).size());
  EXPECT_EQ(2u, outputLines(ctlRun({"log", printer, "--since", "2017/01/05"}).out).size());
  EXPECT_EQ(3u, outputLines(ctlRun({"log", printer, "--since=2017-01-04 14:06"}).out).size());
  EXPECT_EQ(1u, outputLines(ctlRun({"log", printer, "--text", "while PRINTING"}).out).size());
  EXPECT_EQ("{\"time\":\"2017-01-05T09:30:00\",\"printer\":\"" + printer +
                "\",\"code\":\"0015\",\"text\":\"Paper-Out While Printing\"}\n",
            ctlRun({"log", printer, "--code", "0015,0008", "--since", "2017/01/05", "--json"}).out);

  EXPECT_EQ(ctl::EXIT_NO_LOG, ctlRun({"log", printer + " nobody"}).exit);
  EXPECT_EQ(ctl::EXIT_USAGE, ctlRun({"log", printer, "--code", "15"}).exit);
  EXPECT_EQ(ctl::EXIT_USAGE, ctlRun({"log", printer, "--since", "yesterday"}).exit);
}

TEST_F(FleetLog, FollowsTheMonitorsLogAcrossATrim) {
  // Lines of about 43 bytes: the log is trimmed once, at about the 52nd entry.
  Settings.DRWMaxFileSize = 2200;
  Settings.DRWMinFileSize = 1000;
  entries(1, 30);
  std::vector<ctl::LogFile> files;
  std::string error;
  ASSERT_TRUE(ctl::findLogFiles(printer, &files, &error)) << error;
  ASSERT_EQ(1u, files.size());
  ctl::LogFollower follower(files[0]);
  EXPECT_EQ(entryTexts(1, 30), texts(follower.poll()));

  // The monitor trims the log on the way: the lines kept are not shown again.
  entries(31, 70);
  EXPECT_EQ(entryTexts(31, 70), texts(follower.poll()));
  EXPECT_EQ(1u, follower.trims());
  entries(71, 75);
  EXPECT_EQ(entryTexts(71, 75), texts(follower.poll()));
  EXPECT_TRUE(texts(follower.poll()).empty());
}

}  // namespace
