// The permission table is configuration data; these checks keep it coherent.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flash/firmware_check.h"
#include "flash/firmware_table.h"

namespace {

BOOL isVersionText(const char* text) {
  char copy[FIRMWARE_FIELD_SIZE];
  strcpy(copy, text);
  StripVersion(copy);
  return text[0] != '\0' && strcmp(copy, text) == 0;
}

}  // namespace

TEST(FirmwareTable, TwentyFourDistinctModelsThenEnd) {
  EXPECT_STREQ("END", FirmwarePermissionTable[FIRMWARE_TABLE_ROWS - 1].Model);
  int zeroRows = 0;
  for (int i = 0; i < FIRMWARE_TABLE_ROWS - 1; ++i) {
    const FirmwarePermission& row = FirmwarePermissionTable[i];
    SCOPED_TRACE(row.Model);
    EXPECT_STRNE("END", row.Model);
    EXPECT_NE('\0', row.Model[0]);
    EXPECT_NE('\0', row.FilePrefix1[0]);
    EXPECT_NE('\0', row.FilePrefix2[0]);
    ASSERT_TRUE(isVersionText(row.LowVersion));
    ASSERT_TRUE(isVersionText(row.HighVersion));
    EXPECT_LE(versionNumber(row.LowVersion), versionNumber(row.HighVersion));
    if (strcmp(row.LowVersion, "0.00") == 0 && strcmp(row.HighVersion, "0.00") == 0) ++zeroRows;
    for (int j = 0; j < i; ++j) EXPECT_STRNE(FirmwarePermissionTable[j].Model, row.Model);
  }
  EXPECT_GE(zeroRows, 2);
}

TEST(FirmwareTable, NoPrefixHidesInsideAnother) {
  // A prefix inside another would let one model's file pass for another model.
  for (const FirmwarePermission& a : FirmwarePermissionTable) {
    for (const FirmwarePermission& b : FirmwarePermissionTable) {
      for (const char* pa : {a.FilePrefix1, a.FilePrefix2}) {
        for (const char* pb : {b.FilePrefix1, b.FilePrefix2}) {
          if (pa[0] == '\0' || pb[0] == '\0' || strcmp(pa, pb) == 0) continue;
          EXPECT_EQ(nullptr, strstr(pb, pa)) << pa << " in " << pb;
        }
      }
    }
  }
}

TEST(FirmwareTable, SerialCardModelsTakeNoPlainModelsImage) {
  // An "S" model (serial interface card) runs an image of its own; the plain image
  // of its size would leave it without its interface.
  for (int i = 0; i < FIRMWARE_TABLE_ROWS - 1; ++i) {
    const FirmwarePermission& serial = FirmwarePermissionTable[i];
    if (serial.Model[strlen(serial.Model) - 1] != 'S') continue;
    for (int j = 0; j < FIRMWARE_TABLE_ROWS - 1; ++j) {
      const FirmwarePermission& plain = FirmwarePermissionTable[j];
      if (plain.Model[strlen(plain.Model) - 1] == 'S') continue;
      for (const char* prefix : {serial.FilePrefix1, serial.FilePrefix2}) {
        EXPECT_STRNE(plain.FilePrefix1, prefix) << serial.Model << " takes the image of " << plain.Model;
      }
    }
  }
}

TEST(FirmwareTable, MarkerLeadsTheModelsOfOnePlatformOnly) {
  ASSERT_EQ(2u, strlen(FirmwarePlatformMarker));
  int leading = 0;
  for (int i = 0; i < FIRMWARE_TABLE_ROWS - 1; ++i) {
    const char* model = FirmwarePermissionTable[i].Model;
    const char* at = strstr(model, FirmwarePlatformMarker);
    if (at == nullptr) continue;
    EXPECT_EQ(model, at) << model;
    ++leading;
  }
  EXPECT_GE(leading, 2);
  EXPECT_LT(leading, FIRMWARE_TABLE_ROWS - 1);
}
