#include <cstring>

#include "port/error_text.h"

void SystemMessageText(DWORD code, LPSTR text, int size) {
  text[0] = '\0';
  LPWSTR message = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&message), 0,
                     nullptr);
  // A text too long for the buffer stays empty rather than cut mid-character.
  if (length != 0 && message != nullptr &&
      WideCharToMultiByte(CP_ACP, 0, message, -1, text, size, nullptr, nullptr) == 0) {
    text[0] = '\0';
  }
  if (message != nullptr) LocalFree(message);
}

void GetErrorText(DWORD code, LPSTR text) {
  if (code == QX_ERROR_ZERO_BYTES_READ) {
    strcpy(text, "QX USB good read with 0 bytes returned");
    return;
  }
  if (code > QX_ERROR_ZERO_BYTES_READ) {
    strcpy(text, "QX defined error not found");
    return;
  }

  SystemMessageText(code, text, ERROR_TEXT_SIZE);
  // System texts end in a line end; keep what comes before the first control character.
  for (size_t i = 0; text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      text[i] = '\0';
      break;
    }
  }
}
