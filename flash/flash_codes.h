// Result codes of a firmware update request. The pipe answers each with its own
// text; the numbers are part of the client interface.
#pragma once

#define QX_ERR_OK 0u
#define QX_ERR_PRINTER_NOT_READY 1u
#define QX_ERR_PRINTER_VERSION 2u
#define QX_ERR_BIN_FILE_NOT_FOUND 3u
#define QX_ERR_INCORRECT_BIN_FILE 4u
#define QX_ERR_BIN_FILE_BAD_EXTENSION 5u
#define QX_ERR_NO_MODEL 6u
#define QX_ERR_STATUS_READ 7u
#define QX_ERR_NO_FLASH_MODE 8u
#define QX_ERR_PROGRAM_FAILED 9u
#define QX_ERR_SERIAL_BUSY 10u
