// SET_REGISTRY_KEY: stores one of the monitor's settings and brings it into effect.
#include "pipe/pipe_commands.h"
#include "port/debug_trace.h"
#include "port/monitor_state.h"
#include "port/port_record.h"
#include "port/settings.h"
#include "port/settings_table.h"

namespace {

const DWORD kNameOffset = 4;
const DWORD kNameMax = 511;

}  // namespace

void answerSetRegistryKey(INIPORT* pIniPort, const PipeRequest& request, PipeAnswer* answer) {
  DebugTrace(pIniPort, TRACE_INFO,
             "buildClientResponse - SET_REGISTRY_KEY SET_REGISTRY_KEY SET_REGISTRY_KEY SET_REGISTRY_KEY");
  for (DWORD i = 0; i < 16; ++i) {
    DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - Value = %X", static_cast<unsigned>(request.payload[i]));
  }
  const DWORD value = static_cast<DWORD>(request.payload[0]) | (static_cast<DWORD>(request.payload[1]) << 8) |
                      (static_cast<DWORD>(request.payload[2]) << 16) | (static_cast<DWORD>(request.payload[3]) << 24);
  // The work area is cleared past the payload, so the name always ends.
  char name[kNameMax + 1];
  DWORD length = 0;
  while (length < kNameMax && request.payload[kNameOffset + length] != 0) {
    name[length] = static_cast<char>(request.payload[kNameOffset + length]);
    ++length;
  }
  name[length] = 0;
  DebugTraceF(pIniPort, TRACE_INFO, "buildClientResponse - SET_REGISTRY_KEY name = %s, value = %u", name,
              static_cast<unsigned>(value));

  // A value outside its range would leave the port unusable (a time-out that never
  // ends, a log emptied at every open): it is refused like an unknown name.
  if (!settingValueAllowed(name, value)) {
    DebugTraceF(pIniPort, TRACE_ERROR, "buildClientResponse - SET REGISTRY KEY %s = %u is not an allowed value", name,
                static_cast<unsigned>(value));
    answerText(answer, PIPE_ANSWER_TIMEOUT, "SET REGISTRY KEY FAIL");
    return;
  }
  if (setRegistrySetting(name, value)) {
    readMonitorSettings(RegistryRoot);
    DebugTrace(pIniPort, TRACE_INFO,
               pIniPort->settings.WDEnable == 1 ? "buildClientResponse - SET REGISTRY KEY PASS - WD ON"
                                       : "buildClientResponse - SET REGISTRY KEY PASS - WD OFF");
    answerText(answer, PIPE_ANSWER_TIMEOUT, "SET REGISTRY KEY PASS");
  } else {
    DebugTrace(pIniPort, TRACE_ERROR, "buildClientResponse - SET REGISTRY KEY FAIL!");
    answerText(answer, PIPE_ANSWER_TIMEOUT, "SET REGISTRY KEY FAIL");
  }
}
