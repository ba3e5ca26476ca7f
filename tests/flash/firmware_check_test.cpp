// File names, extensions, version texts and the permission walk of a firmware file.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "flash/firmware_check.h"
#include "flash/firmware_table.h"
#include "flash/flash_codes.h"
#include "flash/printer_query.h"

namespace {

std::string baseNameOf(std::string path) {
  upperCaseFileName(&path[0]);
  char base[FLASH_BASE_NAME_SIZE];
  GetFileName(path.c_str(), base, sizeof base);
  return base;
}

const FirmwarePermission* rowWithVersions(const char* low, const char* high) {
  for (const FirmwarePermission* row = FirmwarePermissionTable; strcmp(row->Model, "END") != 0; ++row) {
    if (strcmp(row->LowVersion, low) == 0 && strcmp(row->HighVersion, high) == 0) return row;
  }
  return nullptr;
}

DWORD check(const char* model, const char* version, const std::string& baseName) {
  FlashCheckInfo info;
  fillFlashCheckInfo(&info, model, version, baseName.c_str());
  return CheckPermissions(&info);
}

}  // namespace

TEST(FlashFileName, UpperCasesInPlaceAndTakesTheBaseName) {
  char path[] = "c:\\firmware\\newcode.bin";
  upperCaseFileName(path);
  EXPECT_STREQ("C:\\FIRMWARE\\NEWCODE.BIN", path);
  char base[FLASH_BASE_NAME_SIZE];
  GetFileName(path, base, sizeof base);
  EXPECT_STREQ("NEWCODE.BIN", base);
  char type[FLASH_FILE_TYPE_SIZE];
  EXPECT_EQ(QX_ERR_OK, CheckForValidExtention(base, type));
  EXPECT_STREQ("BIN", type);
}

TEST(FlashFileName, SeparatorsAreTheFirstColonAndEveryBackslash) {
  EXPECT_EQ("NAME.FUL", baseNameOf("D:NAME.FUL"));
  EXPECT_EQ("SUB/NAME.BIN", baseNameOf("C:\\DIR\\SUB/NAME.BIN"));
  EXPECT_EQ("/OPT/FW/NAME.BIN", baseNameOf("/opt/fw/name.bin"));
  EXPECT_EQ("B:C.BIN", baseNameOf("A:B:C.BIN"));
  EXPECT_EQ("X.ALL", baseNameOf("\\\\SERVER\\SHARE\\X.ALL"));
  EXPECT_EQ("", baseNameOf("C:\\DIR\\"));
}

TEST(FlashFileName, UpperCasingLeavesEveryOtherByte) {
  char name[] = "a\xe9z_\x80q.bin";
  upperCaseFileName(name);
  EXPECT_STREQ("A\xe9Z_\x80Q.BIN", name);
}

TEST(FlashFileName, AnOverlongBaseNameIsCutToTheBuffer) {
  const std::string longName(3000, 'N');
  char base[FLASH_BASE_NAME_SIZE];
  GetFileName(("C:\\" + longName).c_str(), base, sizeof base);
  EXPECT_EQ(std::string(FLASH_BASE_NAME_SIZE - 1, 'N'), base);
}

TEST(FlashExtension, OnlyTheThreeUpperCaseExtensionsPass) {
  char type[FLASH_FILE_TYPE_SIZE];
  EXPECT_EQ(QX_ERR_OK, CheckForValidExtention("A.FUL", type));
  EXPECT_STREQ("FUL", type);
  EXPECT_EQ(QX_ERR_OK, CheckForValidExtention(".ALL", type));
  EXPECT_STREQ("ALL", type);
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("BIN", type));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("", type));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("A.TXT", type));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("A.bin", type));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("A_BIN", type));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, CheckForValidExtention("A.BIN.TXT", type));
}

TEST(FlashVersion, StripKeepsDigitsAndPointsAndTheValueStopsAtTheSecondPoint) {
  char text[] = "V1.0.6 (b)";
  StripVersion(text);
  EXPECT_STREQ("1.0.6", text);
  EXPECT_DOUBLE_EQ(1.0, versionNumber(text));
  EXPECT_DOUBLE_EQ(1.06, versionNumber("1.06"));
  EXPECT_EQ(versionNumber("1.12"), versionNumber("1.120"));
  EXPECT_EQ(0.0, versionNumber(""));
  EXPECT_EQ(0.0, versionNumber("."));
  EXPECT_EQ(0.0, versionNumber("X1"));
  EXPECT_DOUBLE_EQ(12.0, versionNumber("12."));
}

TEST(FlashPermissions, ExtensionIsCheckedFirstAndOnTheCutName) {
  const FirmwarePermission* row = rowWithVersions("0.00", "0.00");
  ASSERT_NE(nullptr, row);
  const std::string prefix = row->FilePrefix1;
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, check(row->Model, "9.99", "ABC"));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, check("NO SUCH MODEL", "1.00", prefix + ".TXT"));
  // 63 characters pass whole; at 64 the cut takes the extension's last letter.
  const std::string fits = prefix + std::string(63 - prefix.size() - 4, 'X') + ".BIN";
  ASSERT_EQ(63u, fits.size());
  EXPECT_EQ(QX_ERR_OK, check(row->Model, "1.00", fits));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, check(row->Model, "1.00", "X" + fits));
}

TEST(FlashPermissions, VersionWindowAllowsFullImagesOnly) {
  const FirmwarePermission* row = rowWithVersions("1.06", "1.12");
  ASSERT_NE(nullptr, row);
  const std::string name = std::string(row->FilePrefix1) + "_NEW";
  for (const char* ext : {".BIN", ".FUL", ".ALL"}) {
    SCOPED_TRACE(ext);
    const BOOL full = strcmp(ext, ".FUL") == 0;
    EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "1.05", name + ext));
    EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "", name + ext));
    EXPECT_EQ(full ? QX_ERR_OK : QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "1.06", name + ext));
    EXPECT_EQ(full ? QX_ERR_OK : QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "V1.08", name + ext));
    EXPECT_EQ(QX_ERR_OK, check(row->Model, "1.12", name + ext));
    EXPECT_EQ(QX_ERR_OK, check(row->Model, "1.20", name + ext));
  }
  // V1.0.6 is 1.0, below the window, not 1.06 inside it.
  EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "V1.0.6", name + ".FUL"));
}

TEST(FlashPermissions, RowWithZeroVersionsAcceptsEveryVersionAndType) {
  const FirmwarePermission* row = rowWithVersions("0.00", "0.00");
  ASSERT_NE(nullptr, row);
  for (const char* version : {"", "0", "0.00", "V1.0.6", "99.9", "garbage"}) {
    for (const char* ext : {".BIN", ".FUL", ".ALL"}) {
      SCOPED_TRACE(std::string(version) + ext);
      EXPECT_EQ(QX_ERR_OK, check(row->Model, version, std::string("A") + row->FilePrefix2 + ext));
    }
  }
}

TEST(FlashPermissions, ModelMustMatchWholeAndPrefixAnywhere) {
  const FirmwarePermission* row = rowWithVersions("0.00", "0.00");
  ASSERT_NE(nullptr, row);
  EXPECT_EQ(QX_ERR_OK, check(row->Model, "1.00", std::string("OLD_") + row->FilePrefix1 + "_X.BIN"));
  EXPECT_EQ(QX_ERR_INCORRECT_BIN_FILE, check(row->Model, "1.00", "NEWCODE.BIN"));
  EXPECT_EQ(QX_ERR_NO_MODEL, check("XYZ-1", "1.00", std::string(row->FilePrefix1) + ".BIN"));
  EXPECT_EQ(QX_ERR_NO_MODEL, check((std::string(row->Model) + " ").c_str(), "1.00",
                                   std::string(row->FilePrefix1) + ".BIN"));
  std::string lower = row->Model;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(QX_ERR_NO_MODEL, check(lower.c_str(), "1.00", std::string(row->FilePrefix1) + ".BIN"));
  EXPECT_EQ(QX_ERR_NO_MODEL, check("END", "1.00", std::string(row->FilePrefix1) + ".BIN"));
}

TEST(FlashPermissions, AbortFileNeedsOnlyThePlatformMarker) {
  const std::string platformModel = std::string(FirmwarePlatformMarker) + "-9999";
  EXPECT_EQ(QX_ERR_OK, check(platformModel.c_str(), "", "ABORT.BIN"));
  EXPECT_EQ(QX_ERR_OK, check(platformModel.c_str(), "0.01", "FW_ABORT_1.ALL"));
  EXPECT_EQ(QX_ERR_BIN_FILE_BAD_EXTENSION, check(platformModel.c_str(), "", "ABORT.TXT"));
  EXPECT_EQ(QX_ERR_NO_MODEL, check("XYZ-1", "", "ABORT.BIN"));
}

TEST(FlashDeviceId, ModelComesFromMdlOrModelUpToTheSemicolon) {
  char model[FLASH_MODEL_SIZE];
  ASSERT_TRUE(parseModelNumber("MDL:XYZ-1;CMD:ABC;", model, sizeof model));
  EXPECT_STREQ("XYZ-1", model);
  ASSERT_TRUE(parseModelNumber("MFG:Q;MODEL:XYZ-1", model, sizeof model));
  EXPECT_STREQ("XYZ-1", model);
  ASSERT_TRUE(parseModelNumber("MODEL:A;MDL: B C ;", model, sizeof model));
  EXPECT_STREQ(" B C ", model);
  ASSERT_TRUE(parseModelNumber("MDL:", model, sizeof model));
  EXPECT_STREQ("", model);
  EXPECT_FALSE(parseModelNumber("MFG:Q;CMD:ABC;", model, sizeof model));
  char small[4];
  ASSERT_TRUE(parseModelNumber("MDL:ABCDEFG;", small, sizeof small));
  EXPECT_STREQ("ABC", small);
}
