#include "sim/text.h"

namespace sim {

std::string narrow(LPCWSTR text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != 0; ++text) out.push_back(static_cast<char>(static_cast<unsigned>(*text) & 0xFFu));
  return out;
}

std::string upperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace sim
