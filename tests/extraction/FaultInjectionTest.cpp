// Faults of the machine rather than of the set: a full disk, a destination
// that cannot be written, a volume that cannot be opened, a cancel at every
// report, a process killed in the middle. Each ends with a clear error (or no
// trace at all for a killed process), no work file left behind, nothing
// outside the destination touched, and a second run that succeeds.
#include <filesystem>

#include "archive/LibraryInterface.h"
#include "extraction/ExtractionFixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace extraction;
using bzip2arc::WriterEntry;
using bzip2arc::WriterOptions;
using testsupport::PseudoRandomBytes;

namespace {

class FaultInjectionTest : public ExtractionTest {
 protected:
  void WriteSmallSet() {
    entries_ = {Entry("one.bin", PseudoRandomBytes(25000, 1, 16)), Entry("two.bin", PseudoRandomBytes(15000, 2)),
                Entry("three.txt", testsupport::ToBytes("three"))};
    WriterOptions options;
    options.VolumeSize = 12000;
    WriteSet(entries_, options);
  }

  void ExpectCleanRerun() {
    Log() = CallbackLog{};
    ASSERT_EQ(ExtractAllMessage(), "");
    for (const auto& entry : entries_) EXPECT_EQ(Extracted(entry.Name), entry.Content) << entry.Name;
    EXPECT_TRUE(WorkLeftovers().empty());
    EXPECT_TRUE(NothingBesideTheFolders());
  }

  std::vector<WriterEntry> entries_;
};

}  // namespace

TEST_F(FaultInjectionTest, CancelAtEveryReportStopsCleanly) {
  WriteSmallSet();
  ASSERT_EQ(ExtractAllMessage(), "");
  const std::size_t reports = Log().Reports.size();
  ASSERT_GE(reports, 5u);
  for (std::size_t at = 0; at < reports; ++at) {
    std::filesystem::remove_all(destination.Path());
    std::filesystem::create_directory(destination.Path());
    Log() = CallbackLog{};
    Log().CancelAt = static_cast<std::int32_t>(at);
    EXPECT_EQ(ExtractAllMessage(), "Extraction terminated by user!") << "report " << at;
    EXPECT_TRUE(WorkLeftovers().empty()) << "report " << at;
    EXPECT_TRUE(NothingBesideTheFolders());
  }
  ExpectCleanRerun();
}

#ifndef _WIN32

namespace {

// Runs `body` in a child process and returns its exit status (or the signal
// that ended it, as 128 + signal).
template <class Body>
int InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Root may write anywhere: give up every capability, so that the permission
// bits count for root too (as the owner of the test's files). Unlike a
// switch to another user this needs no access to the folders above.
void DropPrivileges() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[2] = {};
  if (::geteuid() == 0 && ::syscall(SYS_capset, &header, none) != 0) ::_exit(99);
}

// A child's message, shown when the parent's check fails.
std::string Reported(const std::string& message) {
  std::fprintf(stderr, "child reports: %s\n", message.c_str());
  return message;
}

}  // namespace

TEST_F(FaultInjectionTest, FullDiskFailsWithAWriteError) {
  WriteSmallSet();
  const int result = InChild([this] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{20000, 20000};  // one.bin needs 25,000 bytes
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(ExtractAllMessage() == "Stream write error" && WorkLeftovers().empty() ? 0 : 1);
  });
  EXPECT_EQ(result, 0);
  ExpectCleanRerun();
}

TEST_F(FaultInjectionTest, ReadOnlyDestinationCannotTakeTheFiles) {
  WriteSmallSet();
  std::filesystem::permissions(destination.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::replace);
  const int result = InChild([this] {
    DropPrivileges();
    ::_exit(Reported(ExtractAllMessage()) == "Could not open output file! Maybe it is in use!" ? 0 : 1);
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(DestinationNames().empty());
  EXPECT_TRUE(WorkLeftovers().empty());
  std::filesystem::permissions(destination.Path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  ExpectCleanRerun();
}

TEST_F(FaultInjectionTest, VolumeThatCannotBeOpenedFailsClearly) {
  WriteSmallSet();
  // setup1.lib exists (so no disk is asked for) but cannot be opened.
  std::filesystem::permissions(medium.File("setup1.lib"), std::filesystem::perms::none,
                               std::filesystem::perm_options::replace);
  const std::string expected = "Cannot open file \"" + medium.File("setup1.lib") + "\"";
  const int result = InChild([&] {
    DropPrivileges();
    ::_exit(Reported(ExtractAllMessage()) == expected && WorkLeftovers().empty() ? 0 : 1);
  });
  EXPECT_EQ(result, 0);
  std::filesystem::permissions(medium.File("setup1.lib"), std::filesystem::perms::owner_read,
                               std::filesystem::perm_options::replace);
  ExpectCleanRerun();
}

namespace {
void BZ2ARC_CALL KillAtThirdReport(std::int32_t, std::int32_t, std::int32_t* cancel) {
  *cancel = 0;
  if (++Log().CancelAnswer == 3) ::raise(SIGKILL);
}
}  // namespace

TEST_F(FaultInjectionTest, KilledProcessLeavesNoWorkFile) {
  WriteSmallSet();
  const int result = InChild([this] {
    Log().CancelAnswer = 0;
    ExtractAllMessage(nullptr, KillAtThirdReport);
  });
  EXPECT_EQ(result, 128 + SIGKILL);
  EXPECT_TRUE(WorkLeftovers().empty());
  EXPECT_TRUE(NothingBesideTheFolders());
  ExpectCleanRerun();
}

#else

TEST_F(FaultInjectionTest, DestinationHeldOpenWithoutSharing) {
  WriteSmallSet();
  const std::string path = Destination("two.bin");
  const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ExtractAllMessage(), "Could not open output file! Maybe it is in use!");
  ::CloseHandle(held);
  EXPECT_TRUE(WorkLeftovers().empty());
  ExpectCleanRerun();
}

TEST_F(FaultInjectionTest, VolumeHeldOpenWithoutSharingCannotBeOpened) {
  WriteSmallSet();
  const HANDLE held =
      ::CreateFileA(medium.File("setup1.lib").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ExtractAllMessage(), "Cannot open file \"" + medium.File("setup1.lib") + "\"");
  ::CloseHandle(held);
  EXPECT_TRUE(WorkLeftovers().empty());
  ExpectCleanRerun();
}

#endif
