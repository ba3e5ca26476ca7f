#include "fleet_test_support.h"

#include <sstream>

#include "pipe/pipe_commands.h"

std::vector<std::string> outputLines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string SharedOutput::text() const {
  std::lock_guard<std::mutex> held(mutex_);
  return text_;
}

bool SharedOutput::waitFor(const std::string& part, DWORD limitMs) const {
  const DWORD start = GetTickCount();
  while (!contains(text(), part)) {
    if (GetTickCount() - start > limitMs) return false;
    Sleep(5);
  }
  return true;
}

SharedOutput::int_type SharedOutput::overflow(int_type c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  std::lock_guard<std::mutex> held(mutex_);
  text_.push_back(static_cast<char>(c));
  return c;
}

std::streamsize SharedOutput::xsputn(const char* s, std::streamsize n) {
  std::lock_guard<std::mutex> held(mutex_);
  text_.append(s, static_cast<size_t>(n));
  return n;
}

INIPORT* FleetPortTest::openReady(const std::string& name, bool heartbeat) {
  printer(name).reset();
  setting("EnableHeartBeat", heartbeat ? 1 : 0);
  INIPORT* port = open(name);
  if (port == nullptr) return nullptr;
  port->link.goodCommWithPrinter = TRUE;  // replies are passed on before a first read too
  EXPECT_TRUE(statusThreadReady(port));
  ctl::PipeClient client;
  EXPECT_EQ(ctl::Outcome::Ok, connectWhenOpen(client, name));
  return port;
}

bool FleetPortTest::storedStatusShows(const std::string& name, BYTE status1) {
  const DWORD start = GetTickCount();
  for (;;) {
    const ctl::Response response = request(name, GET_LAST_STATUS);
    if (response.type == 'P' && response.payload.size() >= 5 && response.payload[3] == status1) return true;
    if (GetTickCount() - start > 30000) return false;
    Sleep(5);
  }
}
