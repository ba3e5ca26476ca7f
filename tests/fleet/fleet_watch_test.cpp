// qxlm-ctl watch: a printer that runs out of paper and gets it back, --until ready
// ending the watch or its time-out, a named port appearing and vanishing, and the
// metrics file read back with a parser of the Prometheus text format.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "ctl_command_line.h"
#include "ctl_fleet_command_line.h"
#include "ctl_watch.h"
#include "fleet_test_support.h"
#include "platform/clock.h"
#include "status/status_reply.h"

namespace {

// One sample of a metrics file.
struct Sample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value = 0;
};

bool validName(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    if (!isalnum(static_cast<unsigned char>(c)) && c != '_' && c != ':') return false;
  }
  return true;
}

// The text format, version 0.0.4: "# HELP" and "# TYPE" lines, a family's TYPE
// before its samples and its samples together, label values quoted with \\, \"
// and \n escaped, one value per sample, every line ended by a line feed, no series
// twice. Fails the test at the first fault.
std::vector<Sample> parseMetrics(const std::string& text) {
  std::vector<Sample> samples;
  std::map<std::string, std::string> types;
  std::vector<std::string> keys;
  std::string family;
  EXPECT_TRUE(!text.empty() && text.back() == '\n');
  for (const std::string& line : outputLines(text)) {
    if (line.compare(0, 7, "# TYPE ") == 0) {
      std::istringstream in(line.substr(7));
      std::string name, type;
      in >> name >> type;
      EXPECT_TRUE(validName(name)) << line;
      EXPECT_TRUE(type == "gauge" || type == "counter") << line;
      EXPECT_EQ(0u, types.count(name)) << "a second TYPE: " << line;
      types[name] = type;
      family = name;
      continue;
    }
    if (line.compare(0, 7, "# HELP ") == 0) continue;
    Sample sample;
    size_t at = line.find_first_of("{ ");
    sample.name = line.substr(0, at);
    EXPECT_TRUE(validName(sample.name)) << line;
    EXPECT_EQ(family, sample.name) << "a sample outside its family: " << line;
    std::string key = sample.name;
    if (at != std::string::npos && line[at] == '{') {
      ++at;
      while (at < line.size() && line[at] != '}') {
        const size_t equals = line.find("=\"", at);
        EXPECT_NE(std::string::npos, equals) << line;
        if (equals == std::string::npos) return samples;
        const std::string label = line.substr(at, equals - at);
        EXPECT_TRUE(validName(label)) << line;
        std::string value;
        for (at = equals + 2; at < line.size() && line[at] != '"'; ++at) {
          if (line[at] == '\\' && at + 1 < line.size()) {
            ++at;
            EXPECT_TRUE(line[at] == '\\' || line[at] == '"' || line[at] == 'n') << line;
            value += line[at] == 'n' ? '\n' : line[at];
          } else {
            value += line[at];
          }
        }
        sample.labels[label] = value;
        key += "," + label + "=" + value;
        ++at;  // the closing quote
        if (at < line.size() && line[at] == ',') ++at;
      }
      ++at;  // the closing brace
    }
    EXPECT_TRUE(at < line.size() && line[at] == ' ') << line;
    char* end = nullptr;
    const std::string value = at < line.size() ? line.substr(at + 1) : std::string();
    sample.value = strtod(value.c_str(), &end);
    EXPECT_TRUE(!value.empty() && *end == 0) << line;
    EXPECT_EQ(keys.end(), std::find(keys.begin(), keys.end(), key)) << "a series twice: " << line;
    keys.push_back(key);
    samples.push_back(sample);
  }
  return samples;
}

// The value of the one sample with this name and these labels; -1 when there is none.
double valueOf(const std::vector<Sample>& samples, const std::string& name,
               const std::map<std::string, std::string>& labels) {
  for (const Sample& sample : samples) {
    bool match = sample.name == name;
    for (const auto& label : labels) match = match && sample.labels.count(label.first) != 0 &&
                                                 sample.labels.at(label.first) == label.second;
    if (match) return sample.value;
  }
  return -1;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FleetWatch : public FleetPortTest {};

TEST_F(FleetWatch, SeesPaperOutAndBackUntilReady) {
  // Slow enough that the monitor's longest wait for a live status outlasts a busy machine.
  clockSetScale(0.1);
  const std::string name = portName("W");
  ASSERT_NE(nullptr, openReady(name, true));
  printer(name).setTicketCount(1200);
  printer(name).setHeadTemperature(45);
  printer(name).setStatus(OUT_OF_PAPER, 0);
  ASSERT_TRUE(storedStatusShows(name, OUT_OF_PAPER));

  // While the paper is out, --until ready runs into its time-out.
  const CtlRun late = ctlRun({"watch", name, "--until", "ready", "--until-timeout", "5s", "--interval", "1s"});
  EXPECT_EQ(ctl::EXIT_CONDITION_TIMED_OUT, late.exit);
  EXPECT_TRUE(contains(late.err, "ready did not hold")) << late.err;
  const std::vector<std::string> seen = outputLines(late.out);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(contains(seen[0], name + "  OUT_OF_PAPER  [stopped: media-empty]")) << late.out;
  EXPECT_FALSE(contains(late.out, "ready")) << late.out;

  // Paper loaded while it watches: the change is told and the watch ends.
  const std::string metrics = "fleet-" + name + ".prom";
  SharedOutput out, err;
  std::ostream outStream(&out), errStream(&err);
  const ctl::Console console{outStream, errStream, false};
  int exit = -1;
  std::thread watch([&] {
    exit = ctl::runCtl({"watch", name, "--until", "ready", "--until-timeout", "1h", "--interval", "1s", "--counters",
                        "--timeout", "65535", "--metrics", metrics},
                       console);
  });
  EXPECT_TRUE(out.waitFor("OUT_OF_PAPER", 30000)) << out.text();
  printer(name).setStatus(0, 0);
  watch.join();
  EXPECT_EQ(ctl::EXIT_OK, exit) << err.text();
  const std::vector<std::string> told = outputLines(out.text());
  ASSERT_EQ(2u, told.size()) << out.text();
  EXPECT_TRUE(contains(told[0], name + "  OUT_OF_PAPER  [stopped: media-empty]")) << told[0];
  EXPECT_TRUE(contains(told[1], name + "  OUT_OF_PAPER -> ready  [idle: none]  tickets 1200")) << told[1];

  const std::vector<Sample> samples = parseMetrics(readText(metrics));
  const std::map<std::string, std::string> port = {{"port", name}};
  EXPECT_EQ(1, valueOf(samples, "qxlm_port_up", port));
  EXPECT_EQ(1, valueOf(samples, "qxlm_printer_answering", port));
  EXPECT_EQ(0, valueOf(samples, "qxlm_condition", {{"port", name}, {"condition", "OUT_OF_PAPER"}, {"ipp", "media-empty"}}));
  EXPECT_EQ(1, valueOf(samples, "qxlm_condition", {{"port", name}, {"condition", "ready"}}));
  EXPECT_EQ(1, valueOf(samples, "qxlm_printer_state", {{"port", name}, {"state", "idle"}}));
  EXPECT_EQ(1200, valueOf(samples, "qxlm_tickets_total", port));
  EXPECT_EQ(45, valueOf(samples, "qxlm_head_temperature_celsius", port));
  EXPECT_EQ(1, valueOf(samples, "qxlm_firmware_update", {{"port", name}, {"outcome", "none"}}));
  EXPECT_EQ(1, valueOf(samples, "qxlm_printer_info", {{"port", name}, {"printer", "Pipe Test Printer"}}));
  EXPECT_EQ(0, valueOf(samples, "qxlm_jobs_total", {{"port", name}, {"outcome", "not_printed"}}));
  EXPECT_EQ(0, valueOf(samples, "qxlm_job_held", port));
  DeleteFileA(metrics.c_str());
}

TEST_F(FleetWatch, TellsANamedPortAppearingAndVanishing) {
  const std::string name = portName("V");
  ctl::FleetInvocation invocation;
  invocation.command = ctl::FleetCommand::Watch;
  invocation.ports = {name};
  std::ostringstream out, err;
  const ctl::Console console{out, err, false};
  ctl::PortWatch watch(invocation, console);
  watch.round();
  INIPORT* port = openReady(name, false);
  ASSERT_NE(nullptr, port);
  watch.round();
  watch.round();  // nothing new
  ASSERT_TRUE(close(port));
  watch.round();
  const std::vector<std::string> told = outputLines(out.str());
  ASSERT_EQ(3u, told.size()) << out.str();
  EXPECT_TRUE(contains(told[0], name + "  absent  [stopped: offline-report]")) << told[0];
  EXPECT_TRUE(contains(told[1], name + "  appeared: no-status  [stopped: connecting-to-device]")) << told[1];
  EXPECT_TRUE(contains(told[2], name + "  vanished (was no-status)")) << told[2];
}

}  // namespace
