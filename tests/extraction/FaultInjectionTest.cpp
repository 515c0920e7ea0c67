// Faults of the machine rather than of the set: a full disk, a destination
// that cannot be written, a volume that cannot be opened, a cancel at every
// report, a killed process. Each ends with a clear error (no trace at all for
// a killed process), no work file left, nothing outside the destination
// touched, and a second run that succeeds.
#include <filesystem>

#include "extraction/ExtractionFixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace extraction;
using testsupport::PseudoRandomBytes;
namespace fs = std::filesystem;

namespace {

const std::vector<WriterEntry> kEntries = {Entry("one.bin", PseudoRandomBytes(25000, 1, 16), kKindFile, 0x21),
                                           Entry("two.bin", PseudoRandomBytes(15000, 2)),
                                           Entry("three.txt", testsupport::ToBytes("three"))};

class FaultInjectionTest : public ExtractionTest {
 public:
  void SetUp() override { WriteSet(kEntries, 12000, true); }
  void TearDown() override {
    destination.Clear();
    log = {};
    ASSERT_EQ(ExtractSetMessage(), "");
    for (const auto& entry : kEntries) EXPECT_EQ(Tree().at(entry.Name), entry.Content) << entry.Name;
    EXPECT_TRUE(Clean());
  }
#ifndef _WIN32
  // Runs an extraction in a child process after `prepare`; returns its exit
  // code: 0 when it failed with `expected` and left no work file, 128 + the
  // signal that ended it.
  int InChild(const std::function<void()>& prepare, const std::string& expected = "") {
    const pid_t pid = ::fork();
    if (pid == 0) {
      prepare();
      const std::string message = ExtractSetMessage();
      if (message != expected) std::fprintf(stderr, "child reports: %s\n", message.c_str());
      ::_exit(message == expected && Count(work.Path()) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  }
#endif
};

}  // namespace

// Either nonzero answer stops; the file under way stays as far as it got: at
// the first report empty, with its attributes (one.bin is read-only).
TEST_F(FaultInjectionTest, CancelAtEveryReportStopsCleanly) {
  ASSERT_EQ(ExtractSetMessage(), "");
  const std::size_t reports = log.Reports.size();
  for (std::size_t at = 0; at < reports; ++at) {
    destination.Clear();
    log = {.CancelAt = at, .CancelAnswer = at % 2 == 0 ? -1 : 1};
    EXPECT_EQ(ExtractSetMessage(), "Extraction terminated by user!") << at;
    EXPECT_TRUE(Clean()) << at;
    EXPECT_TRUE(at != 0 || (Tree() == Files{{"one.bin", {}}} && IsReadOnly(destination.File("one.bin"))));
  }
}

#ifndef _WIN32

namespace {

// Root may write anywhere: give up every capability, so that the permission
// bits count for root too (as the owner of the test's files).
void DropPrivileges() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[2] = {};
  if (::geteuid() == 0 && ::syscall(SYS_capset, &header, none) != 0) ::_exit(99);
}

}  // namespace

TEST_F(FaultInjectionTest, FullDiskFailsWithAWriteError) {
  const auto fullDisk = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{20000, 20000};  // one.bin needs 25,000 bytes
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  EXPECT_EQ(InChild(fullDisk, "Stream write error"), 0);
}

// setup1.lib exists (so no disk is asked for) but cannot be opened.
TEST_F(FaultInjectionTest, ReadOnlyDestinationOrUnreadableVolume) {
  const std::string volume1 = medium.File("setup1.lib");
  for (const auto& [path, mode, message] :
       {std::tuple{destination.Path().string(), fs::perms::owner_read | fs::perms::owner_exec,
                   std::string("Could not open output file! Maybe it is in use!")},
        {volume1, fs::perms::none, "Cannot open file \"" + volume1 + "\""}}) {
    fs::permissions(path, mode, fs::perm_options::replace);
    EXPECT_EQ(InChild(DropPrivileges, message), 0);
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace);
  }
}

TEST_F(FaultInjectionTest, KilledProcessLeavesNoWorkFile) {
  const auto killAtThirdReport = [this] { log.OnReport = [this] { if (log.Reports.size() == 2) ::raise(SIGKILL); }; };
  EXPECT_EQ(InChild(killAtThirdReport), 128 + SIGKILL);
  EXPECT_TRUE(Clean());
}

#else

TEST_F(FaultInjectionTest, FilesHeldOpenWithoutSharing) {
  const std::string volume1 = medium.File("setup1.lib");
  for (const auto& [path, access, disposition, message] :
       {std::tuple{destination.File("two.bin"), DWORD(GENERIC_WRITE), DWORD(CREATE_ALWAYS),
                   std::string("Could not open output file! Maybe it is in use!")},
        {volume1, DWORD(GENERIC_READ), DWORD(OPEN_EXISTING), "Cannot open file \"" + volume1 + "\""}}) {
    const HANDLE held = ::CreateFileA(path.c_str(), access, 0, nullptr, disposition, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ExtractSetMessage(), message);
    ::CloseHandle(held);
    EXPECT_EQ(Count(work.Path()), 0);
  }
}

#endif
