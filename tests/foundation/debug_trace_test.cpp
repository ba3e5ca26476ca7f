// The "EnableDiags" filter of the level trace, the direct trace and the joined line.
#include <gtest/gtest.h>

#include <string>

#include "foundation_helpers.h"
#include "port/debug_trace.h"
#include "port/settings.h"

namespace {

class DebugTraceTest : public ::testing::Test {
 protected:
  void TearDown() override { Settings.EnableDiags = 0; }

  // The lines that one level trace of each level 0, 1 and 2 and one direct trace
  // give under `diags`.
  std::vector<std::string> traceAll(DWORD diags) {
    Settings.EnableDiags = diags;
    TraceCapture capture;
    DebugTrace(port.get(), TRACE_ERROR, "CreateUstatusThread - thread creation failed");
    DebugTrace(port.get(), TRACE_INFO, "MonOpenPort - Open port passed");
    DebugTrace(port.get(), 2, "Other - level two");
    DebugTraceRaw("Direct - raw\r\n");
    return capture.lines();
  }

  TestPort port = makeTestPort(WSTR("Trace printer"));
};

const char kError[] = "CreateUstatusThread - thread creation failed";
const char kInfo[] = "MonOpenPort - Open port passed";
const char kOther[] = "Other - level two";
const char kDirect[] = "Direct - raw\r\n";

typedef std::vector<std::string> Lines;

TEST_F(DebugTraceTest, EnableDiagsSelectsLevelsAndThePrefix) {
  const std::string prefix = "Trace printer - ";
  struct Case {
    DWORD diags;
    Lines expected;
  };
  const Case cases[] = {
      {0, {}},
      {1, {kError, kInfo, kOther, kDirect}},
      {0x80000001u, {kError, kInfo, kOther, kDirect}},  // bit 0 wins: bare text
      {2, {kInfo, kDirect}},
      {4, {kError, kDirect}},
      {6, {kError, kInfo, kOther, kDirect}},
      {0x80000006u, {prefix + kError, prefix + kInfo, prefix + kOther, kDirect}},
      {0x80000002u, {prefix + kInfo, kDirect}},
      {0x80000004u, {prefix + kError, kDirect}},
      {0x80000000u, {kDirect}},
      {8, {kDirect}},
      {0x10, {kDirect}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, traceAll(c.diags)) << "EnableDiags " << std::hex << c.diags;
}

TEST_F(DebugTraceTest, FormattedTracesFollowTheSameFilter) {
  Settings.EnableDiags = 0x80000002u;
  TraceCapture capture;
  DebugTraceF(port.get(), TRACE_INFO, "Op - %d of %s", 3, "four");
  DebugTraceF(port.get(), TRACE_ERROR, "Op - %d", 5);
  DebugTraceRawF("Op - direct %u\r\n", 7u);
  EXPECT_EQ(Lines({"Trace printer - Op - 3 of four", "Op - direct 7\r\n"}), capture.lines());
  EXPECT_TRUE(DebugTraceEnabled(TRACE_INFO));
  EXPECT_FALSE(DebugTraceEnabled(TRACE_ERROR));
}

TEST_F(DebugTraceTest, AJoinedLineIsCutTo1023Characters) {
  const std::string name(511, 'p');
  TestPort longName = makeTestPort(widen(name));
  const std::string text = "Long - " + std::string(600, 't');
  Settings.EnableDiags = 0x80000006u;
  TraceCapture capture;
  DebugTrace(longName.get(), TRACE_INFO, text.c_str());
  DebugTraceF(longName.get(), TRACE_INFO, "%s", text.c_str());
  ASSERT_EQ(2u, capture.lines().size());
  const std::string joined = name + " - " + text;
  EXPECT_EQ(joined.substr(0, 1023), capture.lines()[0]);
  EXPECT_EQ(joined.substr(0, 1023), capture.lines()[1]);
}

}  // namespace
