// A file as another local user would leave it at a name the monitor uses.
#pragma once

#include <string>

// Makes the existing file at path one the monitor must not trust: another user's
// (the stand-in) or writable by everyone (Windows). FALSE where the build cannot.
bool plantAsOtherUser(const std::string& path);

// Holds a lock on the existing file at path, as another user could, that makes any
// other open of the file wait until it is let go (a lease on the stand-in). FALSE,
// and nothing held, where the build cannot.
bool holdWithLock(const std::string& path);
// Lets go of the lock holdWithLock took.
void letGoOfLock();
