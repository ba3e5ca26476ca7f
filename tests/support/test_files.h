// Event log files as tests see them: read and removed under the log's own lock, as
// the port's status thread may be writing or trimming the same file at that moment
// (and Windows refuses to remove a file another handle holds open).
#pragma once

#include <string>

// The file's bytes; empty when it cannot be opened.
std::string readLogFile(const std::string& path);

// Removes the file; TRUE when it is gone.
bool deleteLogFile(const std::string& path);
