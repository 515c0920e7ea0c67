// The szdd program as the loader's build runs it. POSIX only: the build runs
// the tool on its host, never under Windows.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "support/TempFolder.h"
#include "tools/szdd/SzddEncoder.h"

using testsupport::Bytes;
using testsupport::TempFolder;

namespace {

// The exit code and standard error of the tool (beside the test program) run
// inside `folder`, so that `arguments` name files by their plain names.
std::pair<int, std::string> RunTool(const TempFolder& folder, const std::string& arguments) {
  const auto tool = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "szdd";
  const std::string err = folder.File("stderr.txt");
  const std::string command =
      "cd '" + folder.Path().string() + "' && '" + tool.string() + "' " + arguments + " >/dev/null 2>'" + err + "'";
  const int status = std::system(command.c_str());
  const Bytes text = testsupport::ReadFileBytes(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(text.begin(), text.end())};
}

}  // namespace

TEST(SzddTool, ConvertsOrExitsWithTwoOnUsageErrorsAndOneOnFailedInputOrOutput) {
  const TempFolder folder;
  const Bytes data = testsupport::PseudoRandomBytes(50000, 17, 16);
  testsupport::WriteFileBytes(folder.File("in.dll"), data);
  EXPECT_EQ(RunTool(folder, "in.dll out.dl_"), std::make_pair(0, std::string()));
  EXPECT_EQ(testsupport::ReadFileBytes(folder.File("out.dl_")), bzip2arc::SzddEncode(data));
  for (const auto& [arguments, exitCode, message] :
       {std::tuple{"", 2, "Usage: szdd"}, std::tuple{"in.dll", 2, "Usage: szdd"},
        std::tuple{"--bogus in.dll x", 2, "Usage: szdd"}, std::tuple{"in.dll a b", 2, "Usage: szdd"},
        std::tuple{"missing.dll x.dl_", 1, "cannot read missing.dll"},
        std::tuple{"in.dll no/out.dl_", 1, "cannot write no/out.dl_"}}) {
    const auto [code, err] = RunTool(folder, arguments);
    EXPECT_EQ(code, exitCode) << arguments;
    EXPECT_NE(err.find(message), std::string::npos) << arguments << ": " << err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("x.dl_")));
}

#endif  // _WIN32
