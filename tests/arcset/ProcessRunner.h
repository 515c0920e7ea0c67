// Runs a program of the build tree with captured output and exit status:
// posix_spawn natively, CreateProcessA on Windows (and so under Wine).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace arcsettest {

struct ProcessResult {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// The folder that holds the running test program, and so every program of
// the build tree.
std::filesystem::path ProgramFolder();

// Runs `program` with `arguments`; stdin is empty (not a terminal), stdout
// and stderr go through files in `scratch` and come back with "\n" line ends.
ProcessResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch);

}  // namespace arcsettest
