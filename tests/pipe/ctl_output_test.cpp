// qxlm-ctl's reading of what the monitor answers: status replies cut anywhere,
// and the progress lines that do and do not end an update.
#include <gtest/gtest.h>

#include "ctl_progress.h"
#include "ctl_status.h"
#include "json_writer.h"

namespace {

const std::vector<BYTE> kComplete = {'C', '0', '0', 0x81, 0x21, '0', '1', '0', '0', '7', '0', '2', '0', '0', '0',
                                     '0', '1', '2', '3', '4', '0', '3', '0', '4', '5', '0', '4', 0x01, 0x2C, '0',
                                     '5', '0', '5', 'V', '1', '.', '2', '3'};

TEST(CtlStatus, CompleteReplyCutAnywhereDecodesWhatIsWhole) {
  ctl::DecodedStatus whole;
  ASSERT_TRUE(ctl::decodeStatus(kComplete, &whole));
  EXPECT_EQ(0x81, whole.status1);
  ASSERT_EQ(4u, whole.conditions.size());  // not ready, paper out, busy, paper low
  EXPECT_STREQ("SYSTEM_NOT_READY", whole.conditions[0]->name);
  EXPECT_STREQ("LOW_PAPER", whole.conditions[3]->name);
  EXPECT_EQ(7, whole.errorCode);
  EXPECT_EQ(1234, whole.ticketCount);
  EXPECT_EQ(45, whole.headTempC);
  EXPECT_EQ(300u, whole.formsLength);
  EXPECT_EQ("V1.23", whole.version);

  // Every prefix decodes without reading past its end, and a field cut short is
  // left out rather than half read.
  for (size_t n = 1; n < kComplete.size(); ++n) {
    ctl::DecodedStatus part;
    EXPECT_TRUE(ctl::decodeStatus(std::vector<BYTE>(kComplete.begin(), kComplete.begin() + static_cast<long>(n)), &part));
    EXPECT_FALSE(part.hasVersion) << n;
    if (part.hasTicketCount) {
      EXPECT_EQ(1234, part.ticketCount) << n;
    }
  }

  ctl::DecodedStatus unknown;
  EXPECT_FALSE(ctl::decodeStatus({'X', '0', '0', 0, 0}, &unknown));
  EXPECT_FALSE(ctl::decodeStatus({}, &unknown));
  // A length that promises more than the reply holds is not believed.
  ctl::DecodedStatus field;
  EXPECT_TRUE(ctl::decodeStatus({'A', '0', '5', '9', '9', 'V', '1'}, &field));
  EXPECT_EQ(5, field.field);
  EXPECT_FALSE(field.hasVersion);
}

TEST(CtlStatus, JsonEscapesPrinterBytes) {
  EXPECT_EQ("\"a\\\"b\\\\c\\u0001\\u00e9\"", tools::jsonString("a\"b\\c\x01\xe9"));
}

TEST(CtlProgress, OnlyTheClosingLinesEndAnUpdate) {
  ctl::FlashProgress p;
  ASSERT_TRUE(ctl::parseProgress("3,0,0,F,WRITE TO PRINTER FAILED", &p));
  EXPECT_FALSE(ctl::isFinalProgress(p));  // the final failure line follows
  ASSERT_TRUE(ctl::parseProgress("3,0,0,F,STATUS = 0 ", &p));
  EXPECT_TRUE(ctl::isFinalProgress(p));
  EXPECT_FALSE(ctl::isSuccessfulProgress(p));
  ASSERT_TRUE(ctl::parseProgress("3,0,0,P,V2.00,B", &p));
  EXPECT_TRUE(ctl::isSuccessfulProgress(p));
  EXPECT_EQ("V2.00,B", p.text);  // the version text may hold commas
  ASSERT_TRUE(ctl::parseProgress("0,START_FLASH_DELAY,0,P,FLASH UPDATE STARTED", &p));
  EXPECT_FALSE(ctl::isFinalProgress(p));
  for (const char* bad : {"", "3,0,0", "4,0,0,P,", "1,5,2,X, ", "NONE"}) {
    EXPECT_FALSE(ctl::parseProgress(bad, &p)) << bad;
  }

  ASSERT_TRUE(ctl::parseProgress("1,0,0,P, ", &p));  // a file under 1,000 bytes
  EXPECT_EQ(100, ctl::transferPercent(p));
  ASSERT_TRUE(ctl::parseProgress("1,123,61,P, ", &p));
  EXPECT_EQ(49, ctl::transferPercent(p));
  EXPECT_EQ("[####......]  49%  61 of 123 kB sent", ctl::progressBar(p, 10));
}

}  // namespace
