// qxlm-ctl service: its command line, and the unattended loop keeping the metrics
// file current and telling a change until it is asked to stop.
#include <fstream>
#include <sstream>
#include <thread>

#include "ctl_command_line.h"
#include "ctl_fleet_command_line.h"
#include "ctl_service.h"
#include "fleet_test_support.h"
#include "status/status_reply.h"

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FleetServiceCommandLine, NeedsAMetricsFileAndRunsUntilStopped) {
  ctl::FleetInvocation inv;
  std::string error;
  EXPECT_FALSE(ctl::parseFleetCommandLine({"service"}, &inv, &error));
  EXPECT_EQ("service needs --metrics FILE", error);
  EXPECT_FALSE(ctl::parseFleetCommandLine({"service", "--metrics", "q.prom", "--until", "ready"}, &inv, &error));
  ASSERT_TRUE(ctl::parseFleetCommandLine({"service", "--metrics", "q.prom", "USB*", "--interval", "5s"}, &inv, &error))
      << error;
  EXPECT_EQ(ctl::FleetCommand::Service, inv.command);
  EXPECT_EQ("q.prom", inv.metricsPath);
  EXPECT_EQ(std::vector<std::string>{"USB*"}, inv.ports);
  EXPECT_EQ(5000u, inv.intervalMs);
}

class FleetService : public FleetPortTest {};

TEST_F(FleetService, KeepsTheMetricsCurrentAndStopsWhenAsked) {
  const std::string name = portName("S");
  ASSERT_NE(nullptr, openReady(name, true));
  const std::string metrics = "fleet-" + name + ".prom";
  DeleteFileA(metrics.c_str());
  ctl::FleetInvocation inv;
  std::string error;
  ASSERT_TRUE(ctl::parseFleetCommandLine({"service", name, "--metrics", metrics, "--interval", "1s"}, &inv, &error));

  SharedOutput out, err;
  std::ostream outStream(&out), errStream(&err);
  const ctl::Console console{outStream, errStream, false};
  std::atomic<bool> stop{false};
  int exit = -1;
  std::thread service([&] { exit = ctl::serveWatch(inv, console, stop); });
  EXPECT_TRUE(out.waitFor(name + "  ready", 30000)) << out.text();
  printer(name).setStatus(OUT_OF_PAPER, 0);
  EXPECT_TRUE(out.waitFor("ready -> OUT_OF_PAPER", 30000)) << out.text();
  stop = true;
  service.join();

  EXPECT_EQ(ctl::EXIT_OK, exit);
  EXPECT_EQ("", err.text());
  const std::vector<std::string> told = outputLines(out.text());
  ASSERT_EQ(4u, told.size()) << out.text();
  EXPECT_EQ("qxlm-watch started: watching " + name + " every 1 s, metrics in " + metrics, told[0]);
  EXPECT_EQ("qxlm-watch stopped", told[3]);
  EXPECT_TRUE(contains(readText(metrics), "qxlm_condition{port=\"" + name +
                                              "\",condition=\"OUT_OF_PAPER\",ipp=\"media-empty\"} 1\n"))
      << readText(metrics);
  DeleteFileA(metrics.c_str());
}

}  // namespace
