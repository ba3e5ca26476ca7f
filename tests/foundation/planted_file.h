// A file as another local user would leave it at a name the monitor uses.
#pragma once

#include <string>

// Makes the existing file at path one the monitor must not trust: another user's
// (the stand-in) or writable by everyone (Windows). FALSE where the build cannot.
bool plantAsOtherUser(const std::string& path);
