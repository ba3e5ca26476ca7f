// The checks a firmware file passes before it is sent: its name, its extension,
// and whether the printer's model and current firmware version permit it.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

#define FLASH_CHECK_FIELD_SIZE 64  // 63 characters and the terminator
#define FLASH_BASE_NAME_SIZE 1024
#define FLASH_FILE_TYPE_SIZE 4  // "BIN", "FUL" or "ALL"

struct FlashCheckInfo {
  char ModelNumber[FLASH_CHECK_FIELD_SIZE];     // as the printer's device id gives it
  char CurrentVersion[FLASH_CHECK_FIELD_SIZE];  // the printer's firmware version text
  char FileName[FLASH_CHECK_FIELD_SIZE];        // the file's upper-cased base name
};

// Upper-cases "a" to "z" in place; every other byte stays, and so does every
// double-byte character of the ANSI code page, whose trail byte may be a letter.
void upperCaseFileName(LPSTR pFileName);

// The base name of a full path: what follows the first ":" and then the last "\".
// Lead bytes of the ANSI code page take their trail byte with them, so a trail byte
// is never read as a separator; "/" is no separator. A longer name is cut to
// cbBaseName - 1 bytes without splitting a double-byte character.
void GetFileName(LPCSTR pPath, LPSTR pBaseName, size_t cbBaseName);

// Copies at most cbOut - 1 bytes of pIn, never ending on a lone lead byte; always
// terminated.
void copyCutText(LPSTR pOut, size_t cbOut, LPCSTR pIn);

// Fills the record, each text cut to 63 characters: a longer base name loses its
// end, extension included, before the extension is tested.
void fillFlashCheckInfo(FlashCheckInfo* pInfo, LPCSTR pModel, LPCSTR pVersion, LPCSTR pBaseName);

// QX_ERR_OK with "BIN", "FUL" or "ALL" in pFileType (FLASH_FILE_TYPE_SIZE bytes),
// or QX_ERR_BIN_FILE_BAD_EXTENSION.
DWORD CheckForValidExtention(LPCSTR pFileName, LPSTR pFileType);

// Removes in place every character that is neither a decimal digit nor ".".
void StripVersion(LPSTR pText);

// The value of a version text: its leading digits and at most one decimal point
// ("1.0.6" is 1.0); 0 for an empty or unreadable text. Independent of the locale.
double versionNumber(LPCSTR pText);

// QX_ERR_OK, QX_ERR_INCORRECT_BIN_FILE, QX_ERR_BIN_FILE_BAD_EXTENSION or
// QX_ERR_NO_MODEL for the file, model and version in pInfo.
DWORD CheckPermissions(const FlashCheckInfo* pInfo);
