// The checks a firmware request passes before anything is sent: the path
// upper-cased and cut to its base name, the model taken from a device id, the
// version text, and the permission table's verdict on the three.
//
// Input: an options byte (bit 0: the model is a row of the table, chosen by the next
// byte, rather than the device id's; bits 1-4: a small base-name buffer), then the
// path, the device id and the version text, each ended by a NUL.
#include <cmath>
#include <cstring>

#include "flash/firmware_check.h"
#include "flash/firmware_table.h"
#include "flash/flash_codes.h"
#include "flash/printer_query.h"
#include "fuzz_support.h"

namespace {

bool endsWith(const std::string& text, const char* tail) {
  const size_t n = strlen(tail);
  return n <= text.size() && text.compare(text.size() - n, n, tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LPCWSTR root = fuzz::startMonitor("firmware_name", {});
  (void)root;

  fuzz::Input input(data, size);
  const BYTE options = input.byte();
  const BYTE row = input.byte();
  std::string path = input.text();
  const std::string deviceId = input.text();
  const std::string version = input.text();

  // The pipe hands over a path of at most 4095 characters.
  if (path.size() > 4095) path.resize(4095);
  std::string upper = path;
  upperCaseFileName(&upper[0]);
  FUZZ_CHECK(upper.size() == path.size());
  for (size_t i = 0; i < upper.size(); ++i) {
    const char c = path[i];
    FUZZ_CHECK(upper[i] == ((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c));
  }

  char baseName[FLASH_BASE_NAME_SIZE];
  GetFileName(upper.c_str(), baseName, sizeof baseName);
  const size_t baseLength = strnlen(baseName, sizeof baseName);
  FUZZ_CHECK(baseLength < sizeof baseName);
  if (baseLength < sizeof baseName - 2) FUZZ_CHECK(endsWith(upper, baseName));

  const size_t smallSize = 1 + ((options >> 1) & 0x0F);
  char small[16];
  GetFileName(upper.c_str(), small, smallSize);
  FUZZ_CHECK(strnlen(small, smallSize) < smallSize);
  FUZZ_CHECK(strncmp(small, baseName, strlen(small)) == 0);

  char model[FLASH_MODEL_SIZE];
  const BOOL parsed = parseModelNumber(deviceId.c_str(), model, sizeof model);
  FUZZ_CHECK(!parsed || strnlen(model, sizeof model) < sizeof model);
  char tinyModel[4];
  if (parseModelNumber(deviceId.c_str(), tinyModel, sizeof tinyModel)) FUZZ_CHECK(strlen(tinyModel) < 4);
  if (!parsed) model[0] = '\0';
  if (options & 1) strcpy(model, FirmwarePermissionTable[row % FIRMWARE_TABLE_ROWS].Model);

  FlashCheckInfo info;
  fillFlashCheckInfo(&info, model, version.c_str(), baseName);
  FUZZ_CHECK(strlen(info.ModelNumber) < FLASH_CHECK_FIELD_SIZE && strlen(info.CurrentVersion) < FLASH_CHECK_FIELD_SIZE &&
             strlen(info.FileName) < FLASH_CHECK_FIELD_SIZE);

  char stripped[FLASH_CHECK_FIELD_SIZE];
  strcpy(stripped, info.CurrentVersion);
  StripVersion(stripped);
  for (const char* p = stripped; *p != '\0'; ++p) FUZZ_CHECK((*p >= '0' && *p <= '9') || *p == '.');
  const double value = versionNumber(stripped);
  FUZZ_CHECK(std::isfinite(value) && value >= 0.0);

  char fileType[FLASH_FILE_TYPE_SIZE];
  const DWORD extension = CheckForValidExtention(info.FileName, fileType);
  const DWORD verdict = CheckPermissions(&info);
  FUZZ_CHECK(verdict == QX_ERR_OK || verdict == QX_ERR_INCORRECT_BIN_FILE || verdict == QX_ERR_BIN_FILE_BAD_EXTENSION ||
             verdict == QX_ERR_NO_MODEL);
  FUZZ_CHECK((extension == QX_ERR_BIN_FILE_BAD_EXTENSION) == (verdict == QX_ERR_BIN_FILE_BAD_EXTENSION));
  if (extension == QX_ERR_OK) {
    FUZZ_CHECK(strcmp(fileType, "BIN") == 0 || strcmp(fileType, "FUL") == 0 || strcmp(fileType, "ALL") == 0);
  }
  return 0;
}
