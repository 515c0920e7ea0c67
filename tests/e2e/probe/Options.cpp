#include "Options.h"

#include <stdexcept>

namespace probe {

std::string Options::Text(const std::string& name, const std::string& fallback) const {
  auto found = Values.find(name);
  return found == Values.end() ? fallback : found->second;
}

long Options::Number(const std::string& name, long fallback) const {
  auto found = Values.find(name);
  if (found == Values.end()) return fallback;
  std::size_t used = 0;
  long value = std::stol(found->second, &used);
  if (used != found->second.size()) throw std::invalid_argument("--" + name + " needs a number");
  return value;
}

bool IsFlag(const std::string& name) { return name == "close"; }

Options ParseOptions(int argc, char** argv) {
  Options options;
  if (argc < 2) throw std::invalid_argument("missing command");
  options.Command = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--", 0) != 0) {
      options.Operands.push_back(argument);
      continue;
    }
    std::string name = argument.substr(2);
    if (IsFlag(name)) {
      options.Values[name] = "1";
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument("--" + name + " needs a value");
    options.Values[name] = argv[++i];
  }
  return options;
}

}  // namespace probe
