#include "ticket_job.h"

#include <cstdio>

namespace demo {
namespace {

const BYTE ESC = 0x1B;
const unsigned kLogoBytes = 3000;

void append(std::vector<BYTE>& job, std::initializer_list<BYTE> bytes) { job.insert(job.end(), bytes); }

void appendText(std::vector<BYTE>& job, BYTE row, const std::string& text) {
  append(job, {ESC, 'L', row, 0x10});  // row and column of the line
  job.insert(job.end(), text.begin(), text.end());
}

void appendLogo(std::vector<BYTE>& job, unsigned ticket) {
  append(job, {ESC, 'd', kLogoBytes % 256, kLogoBytes / 256});
  for (unsigned i = 0; i < kLogoBytes; ++i) {
    // A pattern that also holds ESC e pairs: the scanner must skip them.
    const unsigned k = (i * 7 + ticket) % 64;
    job.push_back(k == 0 ? ESC : k == 1 ? 'e' : static_cast<BYTE>(0x80 | k));
  }
}

}  // namespace

std::vector<BYTE> ticketJob(unsigned tickets) {
  std::vector<BYTE> job;
  for (unsigned t = 1; t <= tickets; ++t) {
    append(job, {ESC, 'f', 0x01, 0x02});  // font
    appendLogo(job, t);
    char line[64];
    appendText(job, 0x20, "ADMIT ONE");
    snprintf(line, sizeof line, "TICKET %u OF %u", t, tickets);
    appendText(job, 0x30, line);
    snprintf(line, sizeof line, "ROW %u  SEAT %u  GATE B", 10 + t / 20, 1 + t % 20);
    appendText(job, 0x40, line);
    append(job, {ESC, 'e'});
  }
  return job;
}

bool readJobFile(const std::string& path, std::vector<BYTE>& bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes.clear();
  BYTE block[65536];
  size_t got = 0;
  while ((got = fread(block, 1, sizeof block, file)) != 0) bytes.insert(bytes.end(), block, block + got);
  const bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}

}  // namespace demo
