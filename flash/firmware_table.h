// Which firmware files each printer model may take, and from which firmware
// version on. The rows themselves are configuration data of the printer family
// and live in firmware_table.cpp only.
#pragma once

#define FIRMWARE_FIELD_SIZE 32
#define FIRMWARE_TABLE_ROWS 25  // 24 models and the closing "END" row

struct FirmwarePermission {
  char Model[FIRMWARE_FIELD_SIZE];        // exactly as the printer's device id names it; "END" closes the table
  char FilePrefix1[FIRMWARE_FIELD_SIZE];  // a permitted file's base name contains this...
  char FilePrefix2[FIRMWARE_FIELD_SIZE];  // ...or this (the same text where a model has one)
  char LowVersion[FIRMWARE_FIELD_SIZE];   // printers below it take no file
  char HighVersion[FIRMWARE_FIELD_SIZE];  // from here on any file type; below it only ".FUL"
};

extern const FirmwarePermission FirmwarePermissionTable[FIRMWARE_TABLE_ROWS];

// The common leading part of the model names of the platform whose printers
// accept an abort file (a base name containing "ABORT") without further checks.
extern const char FirmwarePlatformMarker[];
