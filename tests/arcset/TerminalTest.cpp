// What arcset shows on a terminal: the progress bar, and the disk prompt
// that waits for Enter. The prompt needs a real terminal: POSIX only.
#include <gtest/gtest.h>

#include <filesystem>

#include "Terminal.h"
#include "arcset/ArcsetTestSupport.h"

#ifndef _WIN32
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace arcsettest {
namespace {

namespace fs = std::filesystem;

TEST(ProgressLine, FillsInProportionAndClamps) {
  EXPECT_EQ(arcset::ProgressLine(0, 10), "[----------]   0%");
  EXPECT_EQ(arcset::ProgressLine(55, 10), "[#####-----]  55%");
  EXPECT_EQ(arcset::ProgressLine(130, 4), "[####] 100%");
}

#ifndef _WIN32

// arcset with stdin, stdout and stderr on a pseudo terminal.
class TerminalSession {
 public:
  explicit TerminalSession(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{(ProgramFolder() / "arcset").string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    child_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (child_ == 0) {
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~TerminalSession() {
    if (child_ > 0 && !waited_) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }

  // Reads until `text` has appeared `times` times; false when the output
  // ends first or nothing comes for 20 s.
  bool ReadUntil(const std::string& text, std::size_t times = 1) {
    while (Count(text) < times) {
      pollfd poll{master_, POLLIN, 0};
      if (::poll(&poll, 1, 20000) <= 0) return false;
      char buffer[4096];
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) return false;
      output_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  }

  void Type(const std::string& text) { ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }

  int ExitCode() {
    ReadUntil(std::string(1, '\0'));  // drains the output to its end
    int status = 0;
    ::waitpid(child_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& Output() const { return output_; }
  std::size_t Count(const std::string& text) const {
    std::size_t count = 0;
    for (std::size_t at = output_.find(text); at != std::string::npos; at = output_.find(text, at + 1)) ++count;
    return count;
  }
  bool Started() const { return child_ > 0 && master_ >= 0; }

 private:
  int master_ = -1;
  pid_t child_ = -1;
  bool waited_ = false;
  std::string output_;
};

class DiskPrompt : public ArcsetCli {
 protected:
  void SetUp() override {
    ArcsetCli::SetUp();
    if (IsSkipped()) return;
    fs::create_directory(Path("in"));
    WriteInput(Path("in/a.bin"), testsupport::PseudoRandomBytes(40000, 1));
    WriteInput(Path("in/b.txt"), TextBytes(9000, 2));
    ASSERT_EQ(Arcset({"create", "--volume-size", "16K", Path("set"), Path("in")}).ExitCode, 0);
    fs::rename(Path("set/setup1.lib"), Path("setup1.lib"));
  }
};

TEST_F(DiskPrompt, WaitsForEnterUntilTheVolumeIsThere) {
  TerminalSession session({"extract", Path("set"), Path("out")});
  ASSERT_TRUE(session.Started());
  const std::string prompt = "Please insert disk no. #1! Press Enter when it is in place.";
  ASSERT_TRUE(session.ReadUntil(prompt)) << session.Output();
  session.Type("\n");  // still missing: asked again
  ASSERT_TRUE(session.ReadUntil(prompt, 2)) << session.Output();
  fs::rename(Path("setup1.lib"), Path("set/setup1.lib"));
  session.Type("\n");
  EXPECT_EQ(session.ExitCode(), 0) << session.Output();
  EXPECT_EQ(session.Count(prompt), 2u);
  EXPECT_NE(session.Output().find("] 100%"), std::string::npos) << session.Output();
  EXPECT_EQ(testsupport::ReadFileBytes(Path("out/a.bin")), testsupport::PseudoRandomBytes(40000, 1));
}

TEST_F(DiskPrompt, EndOfInputGivesUp) {
  TerminalSession session({"extract", Path("set"), Path("out")});
  ASSERT_TRUE(session.ReadUntil("Please insert disk no. #1!")) << session.Output();
  session.Type("\x04");  // end of input on a terminal
  EXPECT_EQ(session.ExitCode(), 1);
  EXPECT_NE(session.Output().find("arcset: Disk #2 needed!"), std::string::npos) << session.Output();
}

#endif

}  // namespace
}  // namespace arcsettest
