// Whole-file reads for tests that look at what the monitor wrote (event logs).
#pragma once

#include <string>

// The file's bytes; empty when it cannot be opened.
std::string readWholeFile(const std::string& path);
