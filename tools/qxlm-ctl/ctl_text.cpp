#include "ctl_text.h"

#include "ctl_status.h"

namespace ctl {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool matchFrom(const char* pattern, const char* name) {
  for (; *pattern != 0; ++pattern, ++name) {
    if (*pattern == '*') {
      while (pattern[1] == '*') ++pattern;
      for (const char* rest = name;; ++rest) {
        if (matchFrom(pattern + 1, rest)) return true;
        if (*rest == 0) return false;
      }
    }
    if (*name == 0 || (*pattern != '?' && lower(*pattern) != lower(*name))) return false;
  }
  return *name == 0;
}

}  // namespace

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]);
  }
  return a.size() < b.size();
}

bool containsIgnoringCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (equalsIgnoringCase(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

bool matchesPattern(const std::string& pattern, const std::string& name) {
  return matchFrom(pattern.c_str(), name.c_str());
}

bool isPattern(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

std::vector<std::string> splitText(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

}  // namespace ctl
