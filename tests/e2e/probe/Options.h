// The probe's command line: a command, then --name value options.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace probe {

struct Options {
  std::string Command;
  std::map<std::string, std::string> Values;
  std::vector<std::string> Operands;

  bool Has(const std::string& name) const { return Values.count(name) != 0; }
  std::string Text(const std::string& name, const std::string& fallback = {}) const;
  long Number(const std::string& name, long fallback) const;
};

// Options that take no value.
bool IsFlag(const std::string& name);

// Throws std::invalid_argument on a malformed command line.
Options ParseOptions(int argc, char** argv);

}  // namespace probe
