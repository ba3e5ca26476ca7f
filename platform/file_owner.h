// Whether a file at a name anyone could have created belongs to this process's
// account: the monitor writes only to files that no other user made or may change.
#pragma once

#include "platform/win32_api.h"

// TRUE when nothing is at path, when a link is (links are judged apart), or when the
// file there is owned by SYSTEM, Administrators or this process's own user and
// grants no one else write access; FALSE otherwise. On Windows the file's security
// is read without opening its data, so no lock on the file can make this wait.
BOOL fileOwnedBySelf(LPCSTR path);
