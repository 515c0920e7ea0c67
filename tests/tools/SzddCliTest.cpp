// The szdd program as the loader's build runs it. POSIX only: the build runs
// the tool on its host, never under Windows.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempFolder.h"
#include "tools/szdd/SzddDecoder.h"
#include "tools/szdd/SzddEncoder.h"

using testsupport::Bytes;
using testsupport::TempFolder;

namespace {

// Programs of the build tree share one folder.
std::filesystem::path Tool() { return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "szdd"; }

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the tool inside `folder`, so that `arguments` name files by their plain names.
ToolRun RunTool(const TempFolder& folder, const std::string& arguments) {
  const std::string out = folder.File("stdout.txt");
  const std::string err = folder.File("stderr.txt");
  const std::string command = "cd '" + folder.Path().string() + "' && '" + Tool().string() + "' " + arguments +
                              " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  ToolRun run;
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  const Bytes outBytes = testsupport::ReadFileBytes(out);
  const Bytes errBytes = testsupport::ReadFileBytes(err);
  run.out.assign(outBytes.begin(), outBytes.end());
  run.err.assign(errBytes.begin(), errBytes.end());
  return run;
}

class SzddTool : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(Tool())) GTEST_SKIP() << "build the szdd target first: " << Tool();
  }
  TempFolder folder_;
};

}  // namespace

TEST_F(SzddTool, CompressesInputIntoOutput) {
  const Bytes data = testsupport::PseudoRandomBytes(50000, 17, 16);
  testsupport::WriteFileBytes(folder_.File("in.dll"), data);
  const ToolRun run = RunTool(folder_, "in.dll out.dl_");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const Bytes file = testsupport::ReadFileBytes(folder_.File("out.dl_"));
  EXPECT_EQ(file, bzip2arc::SzddEncode(data));
  EXPECT_EQ(bzip2arc::SzddDecode(file), data);
}

TEST_F(SzddTool, HelpAndVersionSucceed) {
  const ToolRun help = RunTool(folder_, "--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage: szdd"), std::string::npos);
  const ToolRun version = RunTool(folder_, "--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("szdd ", 0), 0u);
}

TEST_F(SzddTool, UsageErrorsExitWithTwo) {
  testsupport::WriteFileBytes(folder_.File("in.dll"), {1, 2, 3});
  for (const char* arguments : {"", "in.dll", "--bogus in.dll x", "in.dll a b"}) {
    const ToolRun run = RunTool(folder_, arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments;
    EXPECT_NE(run.err.find("Usage: szdd"), std::string::npos) << arguments;
  }
}

TEST_F(SzddTool, UnreadableInputExitsWithOne) {
  const ToolRun run = RunTool(folder_, "missing.dll out.dl_");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("missing.dll"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(folder_.File("out.dl_")));
}

TEST_F(SzddTool, UnwritableOutputExitsWithOne) {
  testsupport::WriteFileBytes(folder_.File("in.dll"), {1, 2, 3});
  const ToolRun run = RunTool(folder_, "in.dll no-such-folder/out.dl_");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("out.dl_"), std::string::npos) << run.err;
}

TEST_F(SzddTool, DashDashEndsTheOptions) {
  testsupport::WriteFileBytes(folder_.File("--help"), {'a', 'b', 'c'});
  const ToolRun run = RunTool(folder_, "-- --help out.dl_");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(bzip2arc::SzddDecode(testsupport::ReadFileBytes(folder_.File("out.dl_"))), Bytes({'a', 'b', 'c'}));
}

#endif  // _WIN32
