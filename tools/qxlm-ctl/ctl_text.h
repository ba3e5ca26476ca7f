// Small text helpers of qxlm-ctl's fleet commands: names compared the way Windows
// compares port, pipe and file names (without regard to ASCII case).
#pragma once

#include <string>
#include <vector>

namespace ctl {

bool equalsIgnoringCase(const std::string& a, const std::string& b);
bool lessIgnoringCase(const std::string& a, const std::string& b);
bool containsIgnoringCase(const std::string& text, const std::string& part);

// "*" stands for any run of characters, "?" for one; case is ignored.
bool matchesPattern(const std::string& pattern, const std::string& name);
bool isPattern(const std::string& text);

// Splits at every separator; empty pieces are dropped.
std::vector<std::string> splitText(const std::string& text, char separator);

}  // namespace ctl
