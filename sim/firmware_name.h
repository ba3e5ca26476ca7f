// The family's firmware files carry their version in their names: the last run of
// digits in the base name holds the major version and then two digits of minor
// version, so TK3A0124.BIN is V1.24 and TKUNI0200.FUL is V2.00.
#pragma once

#include <string>

namespace sim {

// "V1.24" for ...\TK3A0124.BIN; empty when the name tells no version (fewer than
// three digits at the end of its run).
std::string firmwareVersionFromFileName(const std::string& path);

}  // namespace sim
