// qxlm-demo: the language monitor at work on a virtual ticket printer.
#include <cstdio>

#include "demo_run.h"
#include "entry/monitor_entry.h"
#include "interrupt.h"
#include "port/monitor_state.h"

int main(int argc, char** argv) {
  demo::Options options;
  std::string error;
  if (!demo::parseOptions(argc, argv, options, error)) {
    fprintf(stderr, "qxlm-demo: %s\n%s", error.c_str(), demo::usageText().c_str());
    return demo::kExitUsage;
  }
  if (options.help) {
    printf("%s", demo::usageText().c_str());
    return demo::kExitExpected;
  }
  ProcessAttach(nullptr);
  demo::watchInterrupts();
  return demo::runDemo(options).exitCode;
}
