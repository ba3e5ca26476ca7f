// qxlm-setup's command line and what it makes of the system's errors.
#include <gtest/gtest.h>

#include "setup_command_line.h"
#include "setup_errors.h"

namespace {

using setup::Action;
using setup::Invocation;

bool parse(const std::vector<std::string>& args, Invocation* invocation, std::string* error) {
  return setup::parseCommandLine(args, invocation, error);
}

TEST(SetupCommandLine, CommandsPrintersAndMonitorNames) {
  Invocation invocation;
  std::string error;
  ASSERT_TRUE(parse({"install"}, &invocation, &error));
  EXPECT_EQ(Action::Install, invocation.action);
  EXPECT_EQ("QX Language Monitor", invocation.monitorName);

  ASSERT_TRUE(parse({"--name", "Ticket LM", "attach", "Gate 3 Printer"}, &invocation, &error));
  EXPECT_EQ(Action::Attach, invocation.action);
  EXPECT_EQ("Ticket LM", invocation.monitorName);
  EXPECT_EQ("Gate 3 Printer", invocation.printer);

  EXPECT_FALSE(invocation.watcher);
  ASSERT_TRUE(parse({"install", "--watcher", "--metrics-folder", "D:\\metrics"}, &invocation, &error));
  EXPECT_TRUE(invocation.watcher);
  EXPECT_EQ("D:\\metrics", invocation.metricsFolder);

  ASSERT_TRUE(parse({"status", "--help"}, &invocation, &error));
  EXPECT_EQ(Action::Help, invocation.action);
}

TEST(SetupCommandLine, WhatItDoesNotUnderstandIsNamed) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no command given"},
      {{"detach"}, "detach needs the printer's name"},
      {{"attach", ""}, "attach needs the printer's name"},
      {{"install", "extra"}, "unexpected argument extra"},
      {{"install", "--name"}, "option --name needs a value"},
      {{"install", "--name", ""}, "--name needs the monitor's name"},
      {{"install", "--force"}, "unknown option --force"},
      {{"remove"}, "unknown command remove"},
      {{"uninstall", "--watcher"}, "--watcher and --metrics-folder belong to install"},
      {{"install", "--metrics-folder", "D:\\m"}, "--metrics-folder needs --watcher"},
      {{"install", "--watcher", "--metrics-folder"}, "option --metrics-folder needs a value"},
  };
  for (const auto& c : cases) {
    Invocation invocation;
    std::string error;
    EXPECT_FALSE(parse(c.first, &invocation, &error));
    EXPECT_EQ(c.second, error);
  }
}

TEST(SetupErrors, EachFailureHasItsExitCodeAndAdvice) {
  EXPECT_EQ(setup::EXIT_NOT_ADMINISTRATOR, setup::exitCodeForError(5));
  EXPECT_NE(std::string::npos, setup::adviceForError(5).find("Run as administrator"));
  for (uint32_t spoolerGone : {1062u, 1722u, 1723u}) {
    EXPECT_EQ(setup::EXIT_NO_SPOOLER, setup::exitCodeForError(spoolerGone));
    EXPECT_NE(std::string::npos, setup::adviceForError(spoolerGone).find("net start spooler"));
  }
  for (uint32_t unknown : {1797u, 1801u, 3000u}) EXPECT_EQ(setup::EXIT_UNKNOWN_NAME, setup::exitCodeForError(unknown));
  EXPECT_EQ(setup::EXIT_REFUSED, setup::exitCodeForError(3008));
  EXPECT_EQ(setup::EXIT_FAILED, setup::exitCodeForError(2));
  EXPECT_TRUE(setup::isFileInUse(32));
  EXPECT_FALSE(setup::isFileInUse(2));
}

}  // namespace
