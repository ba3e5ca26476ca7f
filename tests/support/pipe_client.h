// A client program on a port's pipe: qxlm-ctl's client, connected as soon as the
// pipe exists (the port's pipe thread makes it just after the port opens), and
// qxlm-ctl's command line run in this process.
#pragma once

#include <string>
#include <vector>

#include "ctl_client.h"
#include "platform/win32_api.h"

// An update is the one request for which the client lends its identity, as
// qxlm-ctl does.
ctl::Outcome connectWhenOpen(ctl::PipeClient& client, const std::string& portName,
                             ctl::Identity identity = ctl::Identity::IdentifyOnly);
// A raw client in byte read mode, as CreateFile leaves it.
HANDLE rawClientWhenOpen(const std::string& portName);

// One request on a connection of its own; fails the test when no response comes
// within responseMs.
ctl::Response pipeRequest(const std::string& portName, BYTE code, const std::vector<BYTE>& payload = {},
                          DWORD responseMs = 30000);

// One run of qxlm-ctl's command line.
struct CtlRun {
  int exit = -1;
  std::string out;
  std::string err;
};
CtlRun ctlRun(const std::vector<std::string>& args, bool terminal = false);
