// The whole program behind main(): parse, run one command, map failures to
// exit statuses. Separate from main() so that tests can run it in-process.
#pragma once

#include <string>
#include <vector>

namespace arcset {

enum ExitStatus { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

// `arguments` excludes the program name.
int RunArcset(const std::vector<std::string>& arguments);

}  // namespace arcset
