// A program declares each of its options once; the command line is read and the
// --help lines are written from that one entry.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tools {

struct Option {
  std::vector<std::string> names;  // every spelling: {"-p", "--port"}
  std::string value;               // the value's name in --help ("MS"); empty for a switch
  std::string help;                // empty: not listed; each '\n' starts an indented line
  // What the option does with its value ("" for a switch); false with *error for a
  // value it does not take.
  std::function<bool(const std::string& value, std::string* error)> apply;
};

typedef std::vector<Option> OptionTable;

// The entry that one argument ("--port" or "--port=USB002") names, or nullptr.
const Option* findOption(const OptionTable& table, const std::string& arg);

// Reads args against the table: "NAME VALUE" or "NAME=VALUE" for an option with a
// value, NAME alone for a switch. Arguments that are no option go to *positional in
// order. false with *error for an unknown option, a missing value or a value the
// option refused.
bool parseOptions(const OptionTable& table, const std::vector<std::string>& args, std::vector<std::string>* positional,
                  std::string* error);

// The table's --help lines: names and value, then the help text from `column` on.
std::string optionsHelp(const OptionTable& table, size_t column);

}  // namespace tools
