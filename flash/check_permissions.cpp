#include <cstring>

#include "flash/firmware_check.h"
#include "flash/firmware_table.h"
#include "flash/flash_codes.h"
#include "port/debug_trace.h"

namespace {

BOOL contains(LPCSTR text, LPCSTR part) { return part[0] != '\0' && strstr(text, part) != nullptr; }

}  // namespace

void fillFlashCheckInfo(FlashCheckInfo* pInfo, LPCSTR pModel, LPCSTR pVersion, LPCSTR pBaseName) {
  copyCutText(pInfo->ModelNumber, sizeof pInfo->ModelNumber, pModel);
  copyCutText(pInfo->CurrentVersion, sizeof pInfo->CurrentVersion, pVersion);
  copyCutText(pInfo->FileName, sizeof pInfo->FileName, pBaseName);
}

DWORD CheckForValidExtention(LPCSTR pFileName, LPSTR pFileType) {
  const size_t length = strlen(pFileName);
  pFileType[0] = '\0';
  if (length < 4) return QX_ERR_BIN_FILE_BAD_EXTENSION;
  // The extension is the last four characters: ".BIN", ".FUL" or ".ALL".
  static const char* const kTypes[] = {"BIN", "FUL", "ALL"};
  for (const char* type : kTypes) {
    if (pFileName[length - 4] == '.' && strcmp(pFileName + length - 3, type) == 0) {
      strcpy(pFileType, type);
      return QX_ERR_OK;
    }
  }
  DebugTrace(nullptr, TRACE_INFO, "CheckForValidExtention - VALID FILE EXTENSION NOT FOUND\r\n");
  return QX_ERR_BIN_FILE_BAD_EXTENSION;
}

void StripVersion(LPSTR pText) {
  char* out = pText;
  for (const char* in = pText; *in != '\0'; ++in) {
    if ((*in >= '0' && *in <= '9') || *in == '.') *out++ = *in;
  }
  *out = '\0';
}

double versionNumber(LPCSTR pText) {
  // Digits are gathered into one whole number and divided once, so equal texts
  // give equal values and "1.12" compares equal to "1.120".
  double digits = 0.0;
  double scale = 1.0;
  BOOL afterPoint = FALSE;
  for (const char* p = pText; *p != '\0'; ++p) {
    if (*p == '.') {
      if (afterPoint) break;
      afterPoint = TRUE;
      continue;
    }
    if (*p < '0' || *p > '9') break;
    digits = digits * 10.0 + (*p - '0');
    if (afterPoint) scale *= 10.0;
  }
  return digits / scale;
}

DWORD CheckPermissions(const FlashCheckInfo* pInfo) {
  char fileType[FLASH_FILE_TYPE_SIZE];
  if (CheckForValidExtention(pInfo->FileName, fileType) != QX_ERR_OK) {
    DebugTrace(nullptr, TRACE_INFO, "CheckPermissions - QX_ERR_BIN_FILE_BAD_EXTENSION");
    return QX_ERR_BIN_FILE_BAD_EXTENSION;
  }
  if (contains(pInfo->ModelNumber, FirmwarePlatformMarker) && contains(pInfo->FileName, "ABORT")) {
    DebugTrace(nullptr, TRACE_INFO, "CheckPermissions - abort file accepted");
    return QX_ERR_OK;
  }

  char version[FLASH_CHECK_FIELD_SIZE];
  copyCutText(version, sizeof version, pInfo->CurrentVersion);
  StripVersion(version);
  const double current = versionNumber(version);

  const FirmwarePermission* row = FirmwarePermissionTable;
  for (; strcmp(row->Model, "END") != 0; ++row) {
    if (strcmp(row->Model, pInfo->ModelNumber) == 0) break;
  }
  if (strcmp(row->Model, "END") == 0) {
    DebugTrace(nullptr, TRACE_INFO, "CheckPermissions - Did not find model\r\n");
    return QX_ERR_NO_MODEL;
  }
  if (!contains(pInfo->FileName, row->FilePrefix1) && !contains(pInfo->FileName, row->FilePrefix2)) {
    DebugTrace(nullptr, TRACE_INFO, "CheckPermissions - FILE prefix error");
    return QX_ERR_INCORRECT_BIN_FILE;
  }
  if (current < versionNumber(row->LowVersion)) return QX_ERR_INCORRECT_BIN_FILE;
  if (current >= versionNumber(row->HighVersion)) {
    DebugTrace(nullptr, TRACE_INFO, "CheckPermissions - QX_ERR_OK");
    return QX_ERR_OK;
  }
  if (strcmp(fileType, "FUL") == 0) return QX_ERR_OK;
  DebugTrace(nullptr, TRACE_INFO,
             "CheckPermissions error #2 - Low high differ and current is < High so allow FUL only");
  return QX_ERR_INCORRECT_BIN_FILE;
}
