// The printer family's firmware permissions: the one place where models, file
// prefixes and version thresholds are configured.
//
// Three platforms:
//  - TK, the ticket platform (marker "TK"): its printers also take an abort file.
//    The models of one size (200, 300, 400, 600) run the same image ("TK2A",
//    "TK3A", ...); the S models (serial interface card) have an image of their own
//    and the 200 and 300 sizes also take the universal image "TKUNI". Below
//    HighVersion a printer's boot code only accepts a complete (".FUL") image.
//  - RL, the roll-stock platform: each size runs one image ("RL1A", ...) and its C
//    (cutter) model may also take a cutter image ("RL1C", ...). The 30 size has no
//    partial-image window: LowVersion equals HighVersion.
//  - KP, the kiosk modules: one image per size, the W (wide) models may also take a
//    wide image; "0.00" in both version fields lets every printer take every file.
//
// No prefix is part of another prefix, so a file meant for one model is never
// taken for a neighbour's.
#include "flash/firmware_table.h"

const char FirmwarePlatformMarker[] = "TK";

const FirmwarePermission FirmwarePermissionTable[FIRMWARE_TABLE_ROWS] = {
    // Model      FilePrefix1  FilePrefix2  LowVersion HighVersion
    {"TK-200", "TK2A", "TKUNI", "1.06", "1.12"},
    {"TK-200L", "TK2A", "TKUNI", "1.06", "1.12"},
    {"TK-200S", "TK2S", "TKUNI", "1.06", "1.12"},
    {"TK-210", "TK2A", "TKUNI", "1.06", "1.12"},
    {"TK-300", "TK3A", "TKUNI", "1.10", "1.20"},
    {"TK-300L", "TK3A", "TKUNI", "1.10", "1.20"},
    {"TK-300S", "TK3S", "TKUNI", "1.10", "1.20"},
    {"TK-310", "TK3A", "TKUNI", "1.10", "1.20"},
    {"TK-400", "TK4A", "TK4A", "2.00", "2.04"},
    {"TK-400L", "TK4A", "TK4A", "2.00", "2.04"},
    {"TK-400S", "TK4S", "TK4S", "2.00", "2.04"},
    {"TK-600", "TK6A", "TK6A", "0.00", "0.00"},
    {"TK-600L", "TK6A", "TK6A", "0.00", "0.00"},
    {"RL-10", "RL1A", "RL1A", "3.02", "3.10"},
    {"RL-10C", "RL1A", "RL1C", "3.02", "3.10"},
    {"RL-20", "RL2A", "RL2A", "3.02", "3.10"},
    {"RL-20C", "RL2A", "RL2C", "3.02", "3.10"},
    {"RL-30", "RL3A", "RL3A", "4.00", "4.00"},
    {"RL-30C", "RL3A", "RL3C", "4.00", "4.00"},
    {"KP-1", "KP1A", "KP1A", "0.00", "0.00"},
    {"KP-1W", "KP1A", "KP1W", "0.00", "0.00"},
    {"KP-2", "KP2A", "KP2A", "1.00", "1.05"},
    {"KP-2W", "KP2A", "KP2W", "1.00", "1.05"},
    {"KP-5", "KP5A", "KP5A", "0.00", "0.00"},
    {"END", "", "", "", ""},
};

static_assert(sizeof(FirmwarePermission) == 160, "a row is five 32-byte fields");
static_assert(sizeof(FirmwarePermissionTable) == 4000, "24 models and the END row");
