// The state words table: each status bit's condition name, IPP keyword and
// printer-state, checked once per bit, and the keyword a bare "not ready" gives.
#include <gtest/gtest.h>

#include "ctl_state_words.h"
#include "ctl_status.h"

namespace {

struct Expected {
  BYTE status1, status2;
  const char* name;
  const char* reason;
  const char* state;
};

const Expected kBits[] = {
    {0x80, 0, "SYSTEM_NOT_READY", "offline-report", "stopped"},
    {0x40, 0, "SYSTEM_DIAG_ERROR", "other", "idle"},
    {0x20, 0, "MANUAL_DESELECT", "offline-report", "stopped"},
    {0x10, 0, "OUTPUT_JAM", "media-jam", "stopped"},
    {0x08, 0, "PAPER_REG_ERROR", "media-jam", "stopped"},
    {0x04, 0, "CUTTER_JAM", "media-jam", "stopped"},
    {0x02, 0, "HEAD_LEVER_UP", "cover-open", "stopped"},
    {0x01, 0, "OUT_OF_PAPER", "media-empty", "stopped"},
    {0, 0x80, "DOC_IN_PROGRESS", "none", "processing"},
    {0, 0x40, "PRINTER_TIMEOUT", "timed-out-report", "idle"},
    {0, 0x20, "BUSY", "none", "processing"},
    {0, 0x10, "PH_TEMP_WAIT", "other-report", "processing"},
    {0, 0x08, "TICKET_NOT_TAKEN", "output-area-full-warning", "idle"},
    {0, 0x04, "AVG_POWER_WAIT", "other-report", "processing"},
    {0, 0x01, "LOW_PAPER", "media-low-warning", "idle"},
};

ctl::IppState ippOf(BYTE status1, BYTE status2, ctl::DecodedStatus* status) {
  EXPECT_TRUE(ctl::decodeStatus({'S', '0', '0', status1, status2}, status));
  return ctl::ippStateOf(ctl::conditionWords(*status));
}

TEST(StateWords, EachStatusBitHasItsIppReasonAndState) {
  for (const Expected& bit : kBits) {
    ctl::DecodedStatus status;
    const ctl::IppState ipp = ippOf(bit.status1, bit.status2, &status);
    ASSERT_EQ(1u, status.conditions.size()) << bit.name;
    EXPECT_STREQ(bit.name, status.conditions[0]->name);
    EXPECT_EQ(std::vector<std::string>{bit.reason}, ipp.reasons) << bit.name;
    EXPECT_STREQ(bit.state, ctl::printerStateName(ipp.state)) << bit.name;
  }
  size_t bits = 0;
  for (const ctl::StateWord& word : ctl::stateWords()) bits += word.byte != 0 ? 1 : 0;
  EXPECT_EQ(sizeof kBits / sizeof kBits[0], bits);  // the reserved bit 0x02 of byte 2 has no word

  // Nothing set is ready; "not ready" with a cause names the cause alone.
  ctl::DecodedStatus status;
  EXPECT_EQ(std::vector<std::string>{"none"}, ippOf(0, 0, &status).reasons);
  EXPECT_STREQ("ready", ctl::conditionWords(status)[0]->name);
  const ctl::IppState paperOut = ippOf(0x81, 0x01, &status);
  EXPECT_EQ((std::vector<std::string>{"media-empty", "media-low-warning"}), paperOut.reasons);
  EXPECT_EQ(ctl::PrinterState::Stopped, paperOut.state);
}

}  // namespace
