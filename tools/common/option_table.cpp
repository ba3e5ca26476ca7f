#include "option_table.h"

namespace tools {

const Option* findOption(const OptionTable& table, const std::string& arg) {
  for (const Option& option : table) {
    for (const std::string& name : option.names) {
      if (arg == name) return &option;
      if (!option.value.empty() && arg.compare(0, name.size() + 1, name + "=") == 0) return &option;
    }
  }
  return nullptr;
}

bool parseOptions(const OptionTable& table, const std::vector<std::string>& args, std::vector<std::string>* positional,
                  std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const Option* option = findOption(table, arg);
    if (option == nullptr) {
      if (arg.size() > 1 && arg[0] == '-') {
        *error = "unknown option " + arg;
        return false;
      }
      positional->push_back(arg);
      continue;
    }
    std::string value;
    if (!option->value.empty()) {
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        *error = "option " + arg + " needs a value";
        return false;
      }
    }
    if (!option->apply(value, error)) return false;
  }
  return true;
}

std::string optionsHelp(const OptionTable& table, size_t column) {
  std::string text;
  for (const Option& option : table) {
    if (option.help.empty()) continue;
    std::string line = "  ";
    for (size_t i = 0; i < option.names.size(); ++i) line += (i == 0 ? "" : ", ") + option.names[i];
    if (!option.value.empty()) line += " " + option.value;
    line += std::string(line.size() + 2 > column ? 2 : column - line.size(), ' ');
    for (char c : option.help) {
      line += c;
      if (c == '\n') line += std::string(column, ' ');
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace tools
