// The demo's printer takes its new firmware version from the update file's name,
// so an update through qxlm-ctl ends on it.
#include "ctl_command_line.h"
#include "fleet_test_support.h"
#include "flash/flash_update.h"
#include "foundation_helpers.h"
#include "sim/firmware_name.h"
#include "update_view.h"

namespace {

TEST(FirmwareName, TellsTheVersionItCarries) {
  EXPECT_EQ("V1.24", sim::firmwareVersionFromFileName("C:\\FIRMWARE\\TK3A0124.BIN"));
  EXPECT_EQ("V2.00", sim::firmwareVersionFromFileName("TKUNI0200.FUL"));
  EXPECT_EQ("", sim::firmwareVersionFromFileName("NEWCODE.BIN"));
  EXPECT_EQ("", sim::firmwareVersionFromFileName("TK3A12.BIN"));
}

class FleetUpdate : public FleetPortTest {};

TEST_F(FleetUpdate, TheDemoPrinterEndsOnTheVersionOfTheFileName) {
  const std::string name = portName("F");
  INIPORT* port = openReady(name, false);
  ASSERT_NE(nullptr, port);
  demo::UpdateView view(port, printer(name));
  printer(name).setFlashMode(true);  // no checks: the printer is taken as ready
  const std::string file = "FLEET-TK3A0124.BIN";
  writeFile(file, std::string(3000, 'Z'));

  const CtlRun run = ctlRun({"flash", name, file});
  waitForFlashThread(port);
  DeleteFileA(file.c_str());
  EXPECT_EQ(ctl::EXIT_OK, run.exit) << run.err;
  EXPECT_EQ("update finished, firmware V1.24", outputLines(run.out).back()) << run.out;
  EXPECT_EQ("V1.24", printer(name).firmwareVersion());
}

}  // namespace
