// Help, version and the command lines arcset refuses (exit status 2).
#include "arcset/ArcsetTestSupport.h"

namespace arcsettest {
namespace {

using Usage = ArcsetCli;

TEST_F(Usage, HelpDocumentsTheExitStatuses) {
  const ProcessResult help = Arcset({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Out.find("Exit status:"), std::string::npos);
  EXPECT_NE(help.Out.find("2  usage error"), std::string::npos);
  for (const char* command : {"create", "list", "verify", "extract"}) {
    const ProcessResult own = Arcset({command, "--help"});
    EXPECT_EQ(own.ExitCode, 0) << command;
    EXPECT_EQ(own.Out.rfind(std::string("Usage: arcset ") + command, 0), 0u) << own.Out;
    EXPECT_EQ(Arcset({"help", command}).Out, own.Out);
  }
  EXPECT_NE(Arcset({"create", "--help"}).Out.find("no folders"), std::string::npos);
  EXPECT_NE(Arcset({"list", "--help"}).Out.find("\\u00XX"), std::string::npos);
}

TEST_F(Usage, VersionComesFromTheProject) {
  const ProcessResult version = Arcset({"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_EQ(version.Out, "arcset 1.0.0\n");
}

TEST_F(Usage, MalformedCommandLinesExitWithTwo) {
  WriteInput(Path("a.txt"), {'a'});
  const std::string a = Path("a.txt");
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"unpack", "x"},
      {"list"},
      {"list", "--bogus", "x"},
      {"list", "x", "y"},
      {"extract", "x"},
      {"extract", "-j", "0", "x", "y"},
      {"extract", "-j", "x", "y"},
      {"verify", "--key", "abc", "x"},
      {"verify", "--key", "zz", "x"},
      {"verify", "--key", "0100", "x"},
      {"verify", "--key", std::string(114, 'a'), "x"},
      {"create", "out"},
      {"create", "--plain", "--key", "01", "out", a},
      {"create", "--volume-size", "12X", "out", a},
      {"create", "--volume-size", "0", "out", a},
      {"create", "--volume-size", "4G", "out", a},
      {"create", "--first-volume-size", "1M", "out", a},
      {"create", "--patch", "a.txt", "out", a},
      {"create", "--patch", "a.txt=" + a, "out", a},
      {"list", a},
  };
  for (const auto& line : lines) {
    const ProcessResult run = Arcset(line);
    std::string shown;
    for (const auto& word : line) shown += word + " ";
    EXPECT_EQ(run.ExitCode, 2) << shown << run.Err;
    EXPECT_EQ(run.Err.rfind("arcset: ", 0), 0u) << shown << run.Err;
    EXPECT_NE(run.Err.find("--help' for more information"), std::string::npos) << shown << run.Err;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

}  // namespace
}  // namespace arcsettest
