// The event log file: its name, line format, class filter, trimming and the
// writer's lock and handle.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "log/event_log.h"
#include "foundation_helpers.h"
#include "port/settings.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "planted_file.h"
#include "tests/support/test_files.h"

namespace {

std::string testName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string("qxlm-") + info->test_suite_name() + "." + info->name();
}

// The text field of every line, or "<malformed>" for a line that is not
// "dddd","yyyy/mm/dd","hh:mm:ss","text" CR LF.
std::vector<std::string> entryTexts(const std::string& log) {
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    unsigned code = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int textStart = 0;
    const bool ok = sscanf(line.c_str(), "\"%4u\",\"%4u/%2u/%2u\",\"%2u:%2u:%2u\",\"%n", &code, &year, &month, &day,
                           &hour, &minute, &second, &textStart) == 7 &&
                    textStart == 32 && line.back() == '"' && hour < 24;
    texts.push_back(ok ? line.substr(textStart, line.size() - textStart - 1) : "<malformed>");
    start = end + 2;
  }
  return texts;
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings.EnableDiags = 0;
    Settings.DRWenable = 1;
    Settings.DRWdebugMask = 0x3F;
    Settings.DRWMaxFileSize = 1500000;
    Settings.DRWMinFileSize = 1000000;
    usePrinter(widen(testName()));
  }
  void TearDown() override {
    forget();
    Settings.DRWenable = 0;
    Settings.DRWdebugMask = 1;
    Settings.EnableDiags = 0;
  }

  void usePrinter(const WideString& printerName) {
    forget();
    port = makeTestPort(printerName);
    char buffer[LOG_PATH_SIZE];
    ASSERT_TRUE(BuildLogFilePath(port.get(), buffer, sizeof buffer));
    path = buffer;
    forget();
  }
  void forget() {
    if (path.empty()) return;
    deleteFile(path);
    deleteFile(path + "bak");
  }

  // A log of exactly `size` bytes of whole lines, in the monitor's own format.
  static std::string makeLog(size_t size) {
    std::string log;
    for (int n = 0;; ++n) {
      std::string line = "\"0021\",\"2017/01/04\",\"14:05:09\",\"Ready Heart Beat " + std::to_string(n) +
                         std::string(n % 41, '.') + "\"\r\n";
      if (log.size() + line.size() + 120 > size) {
        line = "\"0020\",\"2017/01/04\",\"14:05:09\",\"" + std::string(size - log.size() - 35, '-') + "\"\r\n";
        return log + line;
      }
      log += line;
    }
  }

  TestPort port;
  std::string path;
};

TEST_F(EventLogTest, LineHoldsCodeDateTwentyFourHourTimeAndText) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    forget();
    SYSTEMTIME before;
    SYSTEMTIME after;
    GetLocalTime(&before);
    ASSERT_TRUE(TextLogFile(port.get(), "Start Doc \"quoted\"", "0023", DRW_DOCUMENTS));
    GetLocalTime(&after);
    if (before.wSecond != after.wSecond || before.wMinute != after.wMinute) continue;  // the clock ticked on

    char expected[128];
    snprintf(expected, sizeof expected, "\"0023\",\"%d/%02d/%02d\",\"%02d:%02d:%02d\",\"Start Doc \"quoted\"\"\r\n",
             after.wYear, after.wMonth, after.wDay, after.wHour, after.wMinute, after.wSecond);
    EXPECT_EQ(expected, readLogFile(path));

    ASSERT_TRUE(TextLogFile(port.get(), "End Doc", "0005", DRW_DOCUMENTS));
    EXPECT_EQ(std::vector<std::string>({"Start Doc \"quoted\"", "End Doc"}), entryTexts(readLogFile(path)));
    return;
  }
  FAIL() << "the clock never stood still for the length of one entry";
}

TEST_F(EventLogTest, NothingIsWrittenWhileTheLogIsOffOrTheClassIsNotSelected) {
  Settings.DRWenable = 0;
  EXPECT_TRUE(TextLogFile(port.get(), "MonOpenPort - USB001", "0011", DRW_PORTS));
  EXPECT_FALSE(fileExists(path));

  Settings.DRWenable = 1;
  Settings.DRWdebugMask = DRW_PORTS;
  EXPECT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
  EXPECT_FALSE(fileExists(path));
  EXPECT_TRUE(TextLogFile(port.get(), "MonOpenPort - USB001", "0011", DRW_PORTS));
  EXPECT_EQ(std::vector<std::string>({"MonOpenPort - USB001"}), entryTexts(readLogFile(path)));
}

TEST_F(EventLogTest, ADeletedLogIsCreatedAgain) {
  ASSERT_TRUE(TextLogFile(port.get(), "first", "0023", DRW_DOCUMENTS));
  deleteFile(path);
  ASSERT_TRUE(TextLogFile(port.get(), "second", "0023", DRW_DOCUMENTS));
  EXPECT_EQ(std::vector<std::string>({"second"}), entryTexts(readLogFile(path)));
}

TEST_F(EventLogTest, AnOverLongTextIsCutToFitTheLine) {
  const std::string text = "Long - " + std::string(2000, 'x');
  ASSERT_TRUE(TextLogFile(port.get(), text.c_str(), "0025", DRW_WATCHDOG));
  const std::string log = readLogFile(path);
  EXPECT_EQ(1023u, log.size());
  const std::vector<std::string> texts = entryTexts(log);
  ASSERT_EQ(1u, texts.size());
  EXPECT_EQ(text.substr(0, texts[0].size()), texts[0]);
}

TEST_F(EventLogTest, AnOversizedLogKeepsTheWholeLinesOfItsLastMinimumBytes) {
  const std::string log = makeLog(1600000);
  ASSERT_EQ(1600000u, log.size());
  writeFile(path, log);

  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));

  const std::string kept = log.substr(log.find('\n', 600000) + 1);
  const std::string trimmed = readLogFile(path);
  ASSERT_GT(trimmed.size(), kept.size());
  EXPECT_TRUE(trimmed.compare(0, kept.size(), kept) == 0);
  EXPECT_EQ(std::vector<std::string>({"Start Doc"}), entryTexts(trimmed.substr(kept.size())));
  EXPECT_EQ(kept, readLogFile(path + "bak"));
}

TEST_F(EventLogTest, ALogAtTheLimitIsNotTrimmed) {
  const std::string log = makeLog(1500000);
  writeFile(path, log);
  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
  const std::string after = readLogFile(path);
  EXPECT_EQ(log, after.substr(0, log.size()));
  EXPECT_FALSE(fileExists(path + "bak"));
}

TEST_F(EventLogTest, ALongRunWithoutLineEndAfterTheCutStillTrims) {
  std::string log = makeLog(599000);
  log += std::string(3000, 'x') + "\r\n";  // from byte 599,000 to 602,002 without a line end
  log += makeLog(1600000 - log.size());
  writeFile(path, log);

  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));

  const std::string kept = log.substr(602002);
  const std::string trimmed = readLogFile(path);
  EXPECT_TRUE(trimmed.compare(0, kept.size(), kept) == 0);
  EXPECT_EQ(std::vector<std::string>({"Start Doc"}), entryTexts(trimmed.substr(kept.size())));
}

TEST_F(EventLogTest, AFileWithoutLineEndsIsCutAtTheMinimumSize) {
  writeFile(path, std::string(1600000, 'x'));
  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
  const std::string trimmed = readLogFile(path);
  ASSERT_GT(trimmed.size(), 1000000u);
  EXPECT_EQ(std::string(1000000, 'x'), trimmed.substr(0, 1000000));
  EXPECT_EQ(std::vector<std::string>({"Start Doc"}), entryTexts(trimmed.substr(1000000)));
}

TEST_F(EventLogTest, ControlCharactersFromThePrinterStayInsideTheirLine) {
  ASSERT_TRUE(TextLogFile(port.get(), "Serial \"12\r\n\"0021\",\x1b\x7f\x01" "end", "0021", DRW_ERRORS));
  EXPECT_EQ(std::vector<std::string>({"Serial \"12??\"0021\",???end"}), entryTexts(readLogFile(path)));
}

// A user may plant a hard link at the log's or the backup's name, leading to a file
// only SYSTEM may write; a viewer may hold the log open while it is trimmed.
TEST_F(EventLogTest, APlantedLinkIsRemovedAndTheFileItLeadsToIsNeverWritten) {
  const std::string victim = path + "-victim";
  writeFile(victim, "not the log");
  ASSERT_TRUE(CreateHardLinkA(path.c_str(), victim.c_str(), nullptr));
  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
  EXPECT_EQ("not the log", readLogFile(victim));
  EXPECT_EQ(std::vector<std::string>({"Start Doc"}), entryTexts(readLogFile(path)));

  const std::string log = makeLog(1600000);
  writeFile(path, log);
  ASSERT_TRUE(CreateHardLinkA((path + "bak").c_str(), victim.c_str(), nullptr));
  HANDLE viewer = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
  const BOOL written = TextLogFile(port.get(), "End Doc", "0005", DRW_DOCUMENTS);
  CloseHandle(viewer);
  EXPECT_TRUE(written);
  EXPECT_EQ("not the log", readLogFile(victim));
  const std::string kept = log.substr(log.find('\n', 600000) + 1);
  const std::string trimmed = readLogFile(path);
  ASSERT_GT(trimmed.size(), kept.size());
  EXPECT_TRUE(trimmed.compare(0, kept.size(), kept) == 0);
  EXPECT_EQ(std::vector<std::string>({"End Doc"}), entryTexts(trimmed.substr(kept.size())));
  EXPECT_EQ(kept, readLogFile(path + "bak"));

  // A symbolic link, where one may be made. (Wine opens one as a file of its own,
  // not as a link, and writes into neither name's file.)
  deleteFile(path);
  if (CreateSymbolicLinkA(path.c_str(), victim.c_str(), 0)) {
    ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
    EXPECT_EQ("not the log", readLogFile(victim));
  }
  deleteFile(victim);
}

// A user may create the log before the monitor does, to read, forge or hold it.
TEST_F(EventLogTest, ALogAnotherUserMadeIsMovedAsideAndANewOneSaysSo) {
  writeFile(path, "\"0023\",\"2017/01/04\",\"14:05:09\",\"forged\"\r\n");
  if (!plantAsOtherUser(path)) GTEST_SKIP() << "no file of another user can be made here";
  ASSERT_TRUE(TextLogFile(port.get(), "Start Doc", "0023", DRW_DOCUMENTS));
  const std::vector<std::string> texts = entryTexts(readLogFile(path));
  ASSERT_EQ(2u, texts.size());
  EXPECT_EQ("DRWlogger - " + path + " was not the monitor's own file, moved to " + path + ".foreign", texts[0]);
  EXPECT_EQ("Start Doc", texts[1]);
  EXPECT_EQ(std::vector<std::string>({"forged"}), entryTexts(readLogFile(path + ".foreign")));
  deleteFile(path + ".foreign");
}

// A lock another user holds on the log makes its open wait far longer than a writer
// may (the stand-in's lease: until the holder lets go, or the system's lease break
// time of tens of seconds). The writer gives up that line within its bound, the next
// ones fail at once while the open still waits, and once the holder lets go the log
// goes on.
TEST_F(EventLogTest, ALockedLogCostsItsLinesNotAWait) {
  writeFile(path, "\"0023\",\"2017/01/04\",\"14:05:09\",\"before\"\r\n");
  if (!holdWithLock(path)) GTEST_SKIP() << "no lock that keeps an open waiting can be taken here";
  clockSetScale(0.01);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(TextLogFile(port.get(), "held", "0023", DRW_DOCUMENTS));
  EXPECT_FALSE(TextLogFile(port.get(), "held too", "0023", DRW_DOCUMENTS));
  const auto waited = std::chrono::steady_clock::now() - start;
  letGoOfLock();
  EXPECT_LT(waited, std::chrono::seconds(10));
  bool written = false;
  for (int i = 0; i < 200 && !written; ++i) {
    written = TextLogFile(port.get(), "after", "0023", DRW_DOCUMENTS) != FALSE;
    if (!written) clockSleep(100);
  }
  clockSetScale(1.0);
  EXPECT_TRUE(written);
  EXPECT_EQ(std::vector<std::string>({"before", "after"}), entryTexts(readLogFile(path)));
}

TEST_F(EventLogTest, FileNameReplacesWhatCannotStandInAFileName) {
  const WCHAR name[] = {'q', 'x', 'l', 'm', '\\', 'o', 'd', 'd', ':', 0x0100, 0x4E3A, 0x0007, '|',
                        '*', 0x4E2D, 'e', 'n', 'd', '"', '<', '>', '?', '/', 0};
  usePrinter(name);
  ASSERT_TRUE(TextLogFile(port.get(), "MonOpenPort - USB001", "0011", DRW_PORTS));

  char windows[MAX_PATH];
  ASSERT_NE(0u, GetWindowsDirectoryA(windows, sizeof windows));
  char computer[MAX_PATH];
  DWORD computerSize = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &computerSize));
  const std::string expected =
      std::string(windows) + "\\Temp\\qxlm_odd______-end_____" + "_" + computer + ".log";
  EXPECT_EQ(expected, path);
  EXPECT_TRUE(fileExists(expected));

  // A name that would make a device's file name, or one too long for a path.
  usePrinter(WSTR("nul .ticket"));
  EXPECT_EQ(std::string(windows) + "\\Temp\\_nul .ticket_" + computer + ".log", path);
  usePrinter(widen(std::string(300, 'p')));
  EXPECT_EQ(std::string(windows) + "\\Temp\\" + std::string(100, 'p') + "_" + computer + ".log", path);
}

// A writer that runs inside another on the same thread (the debug output stands in
// for a status read that logs) works on a handle of its own.
struct NestedWriter {
  INIPORT* port;
  int ran;
};

void writeNestedEntry(LPCSTR line, void* context) {
  NestedWriter* nested = static_cast<NestedWriter*>(context);
  if (nested->ran == 0 && strncmp(line, "DRWlogger - Open File = ", 24) == 0) {
    ++nested->ran;
    Settings.EnableDiags = 0;  // the inner writer must not trace back into this capture
    TextLogFile(nested->port, "inner", "0025", DRW_WATCHDOG);
  }
}

TEST_F(EventLogTest, ANestedWriterLeavesTheOuterFileOpen) {
  Settings.EnableDiags = 2;
  NestedWriter nested = {port.get(), 0};
  debugOutputCapture(writeNestedEntry, &nested);
  const BOOL written = TextLogFile(port.get(), "outer", "0023", DRW_DOCUMENTS);
  debugOutputCapture(nullptr, nullptr);

  EXPECT_TRUE(written);
  EXPECT_EQ(1, nested.ran);
  EXPECT_EQ(std::vector<std::string>({"inner", "outer"}), entryTexts(readLogFile(path)));
}

struct Writer {
  INIPORT* port;
  int id;
};

DWORD WINAPI writeEntries(LPVOID parameter) {
  const Writer* writer = static_cast<const Writer*>(parameter);
  for (int i = 0; i < 100; ++i) {
    const std::string text = "writer " + std::to_string(writer->id) + " entry " + std::to_string(i);
    TextLogFile(writer->port, text.c_str(), "0025", DRW_WATCHDOG);
  }
  return 0;
}

void runWriters(Writer (&writers)[2]) {
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i) {
    threads[i] = CreateThread(nullptr, 0, writeEntries, &writers[i], 0, nullptr);
    ASSERT_NE(nullptr, threads[i]);
  }
  for (HANDLE thread : threads) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    CloseHandle(thread);
  }
}

TEST_F(EventLogTest, WritersOnTwoThreadsWriteWholeLines) {
  Writer writers[2] = {{port.get(), 1}, {port.get(), 2}};
  runWriters(writers);
  const std::vector<std::string> texts = entryTexts(readLogFile(path));
  ASSERT_EQ(200u, texts.size());
  int next[3] = {0, 0, 0};
  for (const std::string& text : texts) {
    int id = 0, entry = 0;
    ASSERT_EQ(2, sscanf(text.c_str(), "writer %d entry %d", &id, &entry)) << text;
    ASSERT_TRUE(id == 1 || id == 2);
    EXPECT_EQ(next[id]++, entry);
  }
}

// The ports of a pooled printer write one file: lines of one port are neither
// lost nor overwritten by the other's, across the trims either makes.
TEST_F(EventLogTest, PortsOfOnePrinterLoseNoLineAcrossTrims) {
  Settings.DRWMaxFileSize = 1500;
  Settings.DRWMinFileSize = 700;
  TestPort second = makeTestPort(widen(testName()));
  Writer writers[2] = {{port.get(), 1}, {second.get(), 2}};
  runWriters(writers);
  // What a trim keeps of each port is the end of its lines, without a gap. A port
  // that finished well before the other may have had all its lines trimmed away;
  // the one that wrote last always keeps its last line.
  int next[3] = {-1, -1, -1};
  int last = 0;
  for (const std::string& text : entryTexts(readLogFile(path))) {
    int id = 0, entry = 0;
    ASSERT_EQ(2, sscanf(text.c_str(), "writer %d entry %d", &id, &entry)) << text;
    ASSERT_TRUE(id == 1 || id == 2);
    if (next[id] >= 0) {
      EXPECT_EQ(next[id], entry) << "writer " << id;
    }
    next[id] = entry + 1;
    last = id;
  }
  ASSERT_NE(0, last);
  EXPECT_EQ(100, next[last]);
  for (int id = 1; id <= 2; ++id) {
    if (next[id] >= 0) {
      EXPECT_EQ(100, next[id]) << "writer " << id;
    }
  }
}

TEST(StateText, NamesEveryPrinterState) {
  TestPort port = makeTestPort(WSTR("qxlm-StateText"));
  struct Case {
    PRINTER_STATE state;
    PRINTER_STATE saved;
    const char* text;
  };
  const Case cases[] = {
      {PRINTER_STATE_INITIALIZING, PRINTER_STATE_NONE, " Initializing"},
      {PRINTER_STATE_HEARTBEAT, PRINTER_STATE_NONE, " Heart Beat"},
      {PRINTER_STATE_PRINTING, PRINTER_STATE_NONE, " While Printing"},
      {PRINTER_STATE_PIPE_REQUEST, PRINTER_STATE_NONE, " Pipe Request"},
      {PRINTER_STATE_POLL, PRINTER_STATE_NONE, " Poll"},                   {PRINTER_STATE_STALE_REPLY, PRINTER_STATE_PIPE_REQUEST, " Pipe Request"},
      {PRINTER_STATE_STALE_REPLY, PRINTER_STATE_HEARTBEAT, " NONE"}, {static_cast<PRINTER_STATE>(4), PRINTER_STATE_NONE, " NONE"},
  };
  Settings.EnableDiags = 4;
  for (const Case& c : cases) {
    port->status.printerState = c.state;
    port->status.savedPrinterState = c.saved;
    TraceCapture capture;
    char text[LOG_STATE_TEXT_SIZE];
    BuildStateText(port.get(), text, sizeof text);
    EXPECT_STREQ(c.text, text) << "state " << int(c.state);
    if (strcmp(c.text, " NONE") == 0) {
      EXPECT_EQ(std::vector<std::string>({"BuildStateText - Did not find printerState (" + std::to_string(c.state) + ")"}),
                capture.lines());
    } else {
      EXPECT_TRUE(capture.lines().empty());
    }
  }
  Settings.EnableDiags = 0;
}

TEST(ErrorText, GivesTheMonitorsOwnAndTheSystemsTexts) {
  char text[ERROR_TEXT_SIZE];
  GetErrorText(80000, text);
  EXPECT_STREQ("QX USB good read with 0 bytes returned", text);
  GetErrorText(80001, text);
  EXPECT_STREQ("QX defined error not found", text);
  GetErrorText(0xFFFFFFFFu, text);
  EXPECT_STREQ("QX defined error not found", text);

  GetErrorText(ERROR_FILE_NOT_FOUND, text);
  EXPECT_GT(strlen(text), 5u);
  for (const char* c = text; *c != '\0'; ++c) EXPECT_GE(static_cast<unsigned char>(*c), 0x20u) << text;
}

}  // namespace
