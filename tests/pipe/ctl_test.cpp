// qxlm-ctl end to end: its command lines, run in this process, against ports
// opened through the monitor's table on virtual printers. Its ports are USB301 and
// up, a range no other test program uses.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ctl_command_line.h"
#include "ctl_run.h"
#include "flash/flash_progress.h"
#include "flash/flash_update.h"
#include "pipe/pipe_commands.h"
#include "pipe_test_support.h"
#include "platform/clock.h"
#include "port/monitor_state.h"
#include "port/settings.h"
#include "status/status_reply.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

class Ctl : public PipePortTest {
 protected:
  // A port on a fresh virtual printer whose replies the status thread passes on.
  INIPORT* openReady(const std::string& name) {
    printer(name).reset();
    INIPORT* port = open(name);
    if (port == nullptr) return nullptr;
    port->link.goodCommWithPrinter = TRUE;
    EXPECT_TRUE(statusThreadReady(port));
    ctl::PipeClient client;
    EXPECT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));  // its pipe is there
    return port;
  }
};

TEST_F(Ctl, LiveStatusDecodedRawAndJson) {
  const std::string name = "USB301";
  ASSERT_NE(nullptr, openReady(name));
  printer(name).setStatus(OUT_OF_PAPER | HEAD_LEVER_UP, 0);

  const CtlRun decoded = ctlRun({"status", name, "--timeout", "20000"});
  EXPECT_EQ(ctl::EXIT_OK, decoded.exit) << decoded.err;
  EXPECT_TRUE(has(decoded.out, "type: N (normal status)")) << decoded.out;
  EXPECT_TRUE(has(decoded.out, "OUT_OF_PAPER")) << decoded.out;
  EXPECT_TRUE(has(decoded.out, "paper out")) << decoded.out;
  EXPECT_TRUE(has(decoded.out, "HEAD_LEVER_UP")) << decoded.out;
  EXPECT_FALSE(has(decoded.out, "CUTTER_JAM")) << decoded.out;

  const CtlRun raw = ctlRun({"--raw", "-t", "20000", "status", name, "short"});
  EXPECT_EQ(ctl::EXIT_OK, raw.exit) << raw.err;
  EXPECT_EQ(0u, raw.out.find("P 53 30 30 ")) << raw.out;

  printer(name).setTicketCount(1234);
  printer(name).setHeadTemperature(45);
  printer(name).setFormsLength(300);
  printer(name).setFirmwareVersion("V1.23");
  const CtlRun complete = ctlRun({"status", name, "complete", "--timeout=20000"});
  EXPECT_EQ(ctl::EXIT_OK, complete.exit) << complete.err;
  for (const char* part : {"type: C (complete status)", "OUT_OF_PAPER", "ticket count: 1234",
                           "head temperature: 45 C (113 F)", "forms length: 3.00 in.", "firmware version: V1.23"}) {
    EXPECT_TRUE(has(complete.out, part)) << part << " in\n" << complete.out;
  }

  const CtlRun field = ctlRun({"--json", "status", name, "field", "5", "--timeout", "20000"});
  EXPECT_EQ(ctl::EXIT_OK, field.exit) << field.err;
  EXPECT_EQ(0u, field.out.find("{\"port\":\"USB301\",\"command\":\"status\",\"response\":\"P\"")) << field.out;
  EXPECT_TRUE(has(field.out, "\"type\":\"A\"")) << field.out;
  EXPECT_TRUE(has(field.out, "\"field\":5")) << field.out;
  EXPECT_TRUE(has(field.out, "\"firmwareVersion\":\"V1.23\"")) << field.out;

  const CtlRun json = ctlRun({"--json", "status", name, "--timeout", "20000"});
  EXPECT_TRUE(has(json.out, "\"conditions\":[\"HEAD_LEVER_UP\",\"OUT_OF_PAPER\"]")) << json.out;
  EXPECT_TRUE(has(json.out, "\"ok\":true}\n")) << json.out;

  // The stored reply is the last one read.
  const CtlRun last = ctlRun({"last", name, "--raw"});
  EXPECT_EQ(ctl::EXIT_OK, last.exit);
  EXPECT_EQ(0u, last.out.find("P 4E 30 30 ")) << last.out;
}

TEST_F(Ctl, ExitCodesTellTheOutcomesApart) {
  const std::string name = "USB302";
  INIPORT* port = openReady(name);
  ASSERT_NE(nullptr, port);

  const CtlRun missing = ctlRun({"version", "USB399"});
  EXPECT_EQ(ctl::EXIT_NO_SUCH_PORT, missing.exit);
  EXPECT_TRUE(has(missing.err, "no such port")) << missing.err;
  EXPECT_TRUE(missing.out.empty());

  const CtlRun badSetting = ctlRun({"set", name, "NoSuchSetting", "1"});
  EXPECT_EQ(ctl::EXIT_REFUSED, badSetting.exit);
  EXPECT_TRUE(has(badSetting.err, "SET REGISTRY KEY FAIL")) << badSetting.err;
  const CtlRun noFile = ctlRun({"flash", name, "C:\\no-such-folder\\NEWCODE.BIN"});
  EXPECT_EQ(ctl::EXIT_REFUSED, noFile.exit);
  EXPECT_TRUE(has(noFile.err, "BIN FILE NOT FOUND")) << noFile.err;

  // A status thread that rests, as during a document, never answers in time.
  ASSERT_TRUE(ResetEvent(port->status.heartbeatRun));
  const CtlRun late = ctlRun({"status", name, "--timeout", "300", "--json"});
  EXPECT_EQ(ctl::EXIT_TIMED_OUT, late.exit);
  EXPECT_TRUE(has(late.out, "\"response\":\"T\",\"text\":\"Status Timeout Occurred\"")) << late.out;
  SetEvent(port->status.heartbeatRun);

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{}, {"bogus"}, {"heartbeat", name, "maybe"}, {"status", name, "field", "16"},
        {"set", name, "HeartBeatRate"}, {"version", "--check"}, {"--timeout", "70000", "status"}, {"--frobnicate"}}) {
    const CtlRun run = ctlRun(wrong);
    EXPECT_EQ(ctl::EXIT_USAGE, run.exit) << (wrong.empty() ? "" : wrong[0]);
    EXPECT_TRUE(has(run.err, "qxlm-ctl --help")) << run.err;
  }
  const CtlRun help = ctlRun({"--help"});
  EXPECT_EQ(ctl::EXIT_OK, help.exit);
  EXPECT_TRUE(has(help.out, "exit codes")) << help.out;
}

TEST_F(Ctl, EverySubcommandReachesItsCommand) {
  const std::string name = "USB303";
  const std::string other = "USB304";
  INIPORT* port = openReady(name);
  ASSERT_NE(nullptr, port);
  ASSERT_NE(nullptr, openReady(other));

  EXPECT_EQ("no status reply stored yet\n", ctlRun({"last", other}).out);
  EXPECT_EQ("Pipe Test Printer\n", ctlRun({"printer-name", name}).out);
  EXPECT_EQ(name + "\n", ctlRun({"port-name", "--port", name}).out);
  EXPECT_EQ("dPrint NOT in progress\n", ctlRun({"print-state", name}).out);
  EXPECT_EQ("{\"port\":\"USB303\",\"command\":\"print-state\",\"response\":\"d\",\"text\":\"dPrint NOT in "
            "progress\",\"printing\":false,\"ok\":true}\n",
            ctlRun({"print-state", name, "--json"}).out);
  EXPECT_EQ("3,0,0,P,NONE\n", ctlRun({"progress", name}).out);

  EXPECT_EQ(ctl::EXIT_OK, ctlRun({"heartbeat", name, "off"}).exit);
  EXPECT_FALSE(HeartbeatOn);
  EXPECT_EQ(ctl::EXIT_OK, ctlRun({"heartbeat", name, "on"}).exit);
  EXPECT_TRUE(HeartbeatOn);
  EXPECT_EQ("Set Heartbeat rate\n", ctlRun({"heartbeat-rate", name, "10000"}).out);
  EXPECT_EQ(10000u, Settings.HeartBeatRate.load());
  EXPECT_EQ(10000u, wdHeartBeatRate.load());
  EXPECT_EQ(ctl::EXIT_OK, ctlRun({"spooler-mode", name, "on"}).exit);
  EXPECT_EQ(1u, Settings.EOJEjectSendLastPage.load());

  // The version request reads the settings again; set stores one first.
  const CtlRun set = ctlRun({"set", name, "HeartBeatRate", "0x4E20"});
  EXPECT_EQ(ctl::EXIT_OK, set.exit) << set.err;
  EXPECT_EQ("SET REGISTRY KEY PASS\n", set.out);
  DWORD stored = 0;
  EXPECT_TRUE(registryValue("HeartBeatRate", &stored));
  EXPECT_EQ(20000u, stored);
  EXPECT_EQ("2.00 build 00 01/04/2017\n", ctlRun({"version", name}).out);
  EXPECT_EQ(20000u, Settings.HeartBeatRate.load());

  EXPECT_EQ("Abort Document\n", ctlRun({"abort", name}).out);
  EXPECT_TRUE(port->doc.AbortPending);
}

class CtlFlash : public Ctl {
 protected:
  void SetUp() override {
    Ctl::SetUp();
    clockSetScale(0.01);
  }
  void TearDown() override {
    for (INIPORT* port : flashed_) waitForFlashThread(port);
    Ctl::TearDown();
    clockSetScale(1.0);
    for (const std::string& file : files_) DeleteFileA(file.c_str());
  }

  INIPORT* openForFlash(const std::string& name, const sim::FlashScript& script) {
    INIPORT* port = openReady(name);
    if (port == nullptr) return nullptr;
    printer(name).scriptFlash(script);
    printer(name).setFlashMode(true);  // no checks: the printer is taken as ready
    flashed_.push_back(port);
    return port;
  }

  std::string file(const std::string& name, size_t size) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    const std::vector<BYTE> bytes(size, 0x5A);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(size), &written, nullptr));
    CloseHandle(h);
    files_.push_back(name);
    return name;
  }

 private:
  std::vector<INIPORT*> flashed_;
  std::vector<std::string> files_;
};

TEST_F(CtlFlash, FollowsTheUpdateWithABarToItsFinalLine) {
  // A serial printer holds the transfer with XOFF after its second chunk for a
  // time far longer than the tool's polling, so the bar is seen part way.
  clockSetScale(0.1);
  const std::string name = "COM301";
  sim::FlashScript script;
  script.newVersion = "V2.00";
  ASSERT_NE(nullptr, openForFlash(name, script));
  sim::XoffScript xoff;
  xoff.afterWrites = 2;
  xoff.xonAfterMs = 20000;
  printer(name).scriptXoff(xoff);
  const CtlRun run = ctlRun({"flash", name, file("CTL301.BIN", 20000)});
  EXPECT_EQ(ctl::EXIT_OK, run.exit) << run.err;

  const std::vector<std::string> shown = lines(run.out);
  ASSERT_GE(shown.size(), 3u) << run.out;
  EXPECT_EQ("qxProgramFlash - Flash update started", shown.front());
  EXPECT_EQ("update finished, firmware V2.00", shown.back());
  // The bar only grows while the file is sent.
  int percent = -1;
  bool partWay = false;
  for (const std::string& line : shown) {
    if (line.empty() || line[0] != '[') continue;
    const int now = std::stoi(line.substr(line.find(']') + 1));
    EXPECT_GE(now, percent) << line;
    percent = now;
    partWay = partWay || line == "[####....................................]  10%  2 of 20 kB sent";
  }
  EXPECT_TRUE(partWay) << run.out;
  EXPECT_EQ(std::vector<BYTE>(20000, 0x5A), printer(name).firmwareBytes());
}

TEST_F(CtlFlash, AFailedUpdateEndsWithItsFinalLineAndARefusal) {
  const std::string name = "USB306";
  sim::FlashScript script;
  script.restartsWithoutVersion = 2;  // no version after either attempt
  ASSERT_NE(nullptr, openForFlash(name, script));
  const CtlRun run = ctlRun({"--json", "flash", name, file("CTL306.BIN", 3000)});
  EXPECT_EQ(ctl::EXIT_REFUSED, run.exit) << run.err;
  const std::vector<std::string> shown = lines(run.out);
  ASSERT_GE(shown.size(), 2u) << run.out;
  EXPECT_TRUE(has(shown.front(), "\"response\":\"P\"")) << shown.front();
  EXPECT_EQ("{\"port\":\"USB306\",\"command\":\"flash\",\"progress\":\"3,0,0,F,STATUS = 0 \",\"stage\":3,\"ok\":false}",
            shown.back());
}

TEST_F(CtlFlash, OnATerminalTheBarIsRedrawnInPlace) {
  const std::string name = "USB307";
  sim::FlashScript script;
  script.newVersion = "V2.01";
  ASSERT_NE(nullptr, openForFlash(name, script));
  const CtlRun run = ctlRun({"flash", name, file("CTL307.BIN", 9000)}, true);
  EXPECT_EQ(ctl::EXIT_OK, run.exit) << run.err;
  const std::vector<std::string> shown = lines(run.out);
  ASSERT_EQ(2u, shown.size()) << run.out;  // the start text, then one line redrawn
  EXPECT_NE(std::string::npos, shown[1].find('\r'));
  const std::string finalDrawing = shown[1].substr(shown[1].rfind('\r') + 1);
  EXPECT_EQ(0u, finalDrawing.find("update finished, firmware V2.01")) << finalDrawing;
}

TEST_F(CtlFlash, APipeThatStaysBusyEndsTheFollowUpAtTheStallLimit) {
  const std::string name = "USB308";
  INIPORT* port = openForFlash(name, sim::FlashScript());
  ASSERT_NE(nullptr, port);
  // The update waits in its transfer until the test lets it go.
  struct Hold {
    std::mutex lock;
    std::condition_variable changed;
    bool held = false;
    bool released = false;
  } hold;
  flashProgressHook(
      [](INIPORT*, LPCSTR text, void* context) {
        Hold* h = static_cast<Hold*>(context);
        if (text[0] != '1') return;
        std::unique_lock<std::mutex> lock(h->lock);
        h->held = true;
        h->changed.notify_all();
        h->changed.wait(lock, [h] { return h->released; });
      },
      &hold);

  CtlRun run;
  bool done = false;
  std::thread follower([&] {
    CtlRun result = ctlRun({"flash", name, file("CTL308.BIN", 5000), "--stall-limit", "2000"});
    std::lock_guard<std::mutex> lock(hold.lock);
    run = result;
    done = true;
    hold.changed.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(hold.lock);
    EXPECT_TRUE(hold.changed.wait_for(lock, std::chrono::seconds(60), [&] { return hold.held; }));
  }
  // Another client takes the pipe between two of the tool's questions and keeps it
  // busy with questions of its own, one right after the other; dropped as idle (a
  // loaded machine may pause it longer than the sped-up idle bound), it comes back.
  std::atomic<bool> keep{true};
  std::thread keeper([&] {
    ctl::PipeClient other;
    bool connected = false;
    ctl::Response ignored;
    while (keep) {
      if (!connected) connected = other.open(name, 1) == ctl::Outcome::Ok;
      if (connected) connected = other.send(ctl::buildRequest(GET_PORT_NAME, {}), 30000, &ignored) == ctl::Outcome::Ok;
    }
  });
  bool endedWhileBusy = false;
  {
    std::unique_lock<std::mutex> lock(hold.lock);
    endedWhileBusy = hold.changed.wait_for(lock, std::chrono::seconds(60), [&] { return done; });
    hold.released = true;
    hold.changed.notify_all();
  }
  keep = false;
  keeper.join();
  follower.join();
  // The update may still be in the hook: it ends before the hold goes.
  waitForFlashThread(port);
  flashProgressHook(nullptr, nullptr);

  EXPECT_TRUE(endedWhileBusy);
  EXPECT_EQ(ctl::EXIT_BUSY, run.exit) << run.out << run.err;
  EXPECT_TRUE(has(run.err, "busy")) << run.err;
}

}  // namespace
