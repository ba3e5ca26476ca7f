#include <cstring>

#include "flash/printer_query.h"

BOOL parseModelNumber(LPCSTR pDeviceId, LPSTR pModel, size_t cbModel) {
  LPCSTR key = strstr(pDeviceId, "MDL:");
  if (key != nullptr) {
    key += 4;
  } else {
    key = strstr(pDeviceId, "MODEL:");
    if (key == nullptr) return FALSE;
    key += 6;
  }
  size_t length = strcspn(key, ";");
  if (length > cbModel - 1) length = cbModel - 1;
  memcpy(pModel, key, length);
  pModel[length] = '\0';
  return TRUE;
}
