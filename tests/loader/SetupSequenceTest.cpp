// The steps of the set-up sequence that can run inside a test: the library
// called on a real archive set, and the wait for the main program.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "Globals.h"
#include "LoaderTestSupport.h"
#include "SetupSequence.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::PseudoRandomBytes;

namespace {

bzip2arc::WriterEntry Entry(const std::string& name, const Bytes& content) {
  bzip2arc::WriterEntry entry;
  entry.Name = name;
  entry.Content = content;
  return entry;
}

class ExtractArchiveSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder);
    fs::copy_file(loadertest::ProgramFolder() / "bzip2arc.dll", folder / "bzip2arc.dll");
  }
  void TearDown() override { CancelRequested = false; }  // tests only: the loader never resets it

  void WriteSet(const std::vector<bzip2arc::WriterEntry>& entries, const bzip2arc::WriterOptions& options = {}) {
    bzip2arc::WriteArchiveSet(medium.Path(), bzip2arc::BuildArchiveSet(entries, options));
  }
  bool Extract() const { return ExtractArchiveSet(medium.Path().string().c_str()); }
  bool LibraryStillLoaded() const { return GetModuleHandleA((folder / "bzip2arc.dll").string().c_str()) != nullptr; }

  testsupport::TempFolder medium;
  testsupport::TempFolder temp;
  const fs::path folder = temp.Path() / "CV0";
  loadertest::TempDirSetting tempDir{folder.string()};
};

}  // namespace

TEST_F(ExtractArchiveSetTest, ExtractsEveryFileOfASetWithTheLoadersKey) {
  bzip2arc::WriterOptions options;
  options.VolumeSize = 30000;
  const Bytes program = PseudoRandomBytes(50000, 11, 16), data = PseudoRandomBytes(40000, 12);
  WriteSet({Entry("Setup.bin", program), Entry("data.cab", data)}, options);
  ASSERT_TRUE(fs::exists(medium.Path() / "setup1.lib"));
  EXPECT_TRUE(Extract());
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "Setup.bin"), program);
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "data.cab"), data);
  EXPECT_FALSE(LibraryStillLoaded());
}

TEST_F(ExtractArchiveSetTest, AMissingSetFailsAndUnloadsTheLibrary) {
  EXPECT_FALSE(Extract());
  EXPECT_FALSE(LibraryStillLoaded());
}

TEST_F(ExtractArchiveSetTest, ASetWithAnotherKeyFails) {
  bzip2arc::WriterOptions options;
  options.Key = {'o', 't', 'h', 'e', 'r'};
  WriteSet({Entry("Setup.bin", PseudoRandomBytes(1000, 13))}, options);
  EXPECT_FALSE(Extract());
  EXPECT_FALSE(fs::exists(folder / "Setup.bin"));
  EXPECT_FALSE(LibraryStillLoaded());
}

TEST_F(ExtractArchiveSetTest, CancelStopsTheLibraryAtItsFirstReport) {
  WriteSet({Entry("Setup.bin", PseudoRandomBytes(50000, 14))});
  CancelRequested = true;
  EXPECT_FALSE(Extract());
  EXPECT_FALSE(LibraryStillLoaded());
}

TEST_F(ExtractArchiveSetTest, ACancelTheLibraryNeverSawStillCounts) {
  // No records, so no progress report in which the library could learn of it.
  WriteSet({});
  EXPECT_TRUE(Extract());
  CancelRequested = true;
  EXPECT_FALSE(Extract());
}

TEST_F(ExtractArchiveSetTest, AMissingOrForeignLibraryFails) {
  WriteSet({Entry("Setup.bin", PseudoRandomBytes(1000, 15))});
  fs::remove(folder / "bzip2arc.dll");
  EXPECT_FALSE(Extract());
  // Loads, but has no ExtractAll.
  fs::copy_file(loadertest::ProgramFolder() / "setup-noresource.exe", folder / "bzip2arc.dll");
  EXPECT_FALSE(Extract());
  EXPECT_FALSE(LibraryStillLoaded());
}

namespace {

DWORD WINAPI CloseAfterAWhile(void* handle) {
  Sleep(2500);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

int gDispatched = 0;
WNDPROC gStaticProc = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++gDispatched;
  return CallWindowProcA(gStaticProc, window, message, wParam, lParam);
}

}  // namespace

TEST(WaitForMainProgramTest, EndsOnceAReadOnlyProgramIsNoLongerHeldOpen) {
  testsupport::TempFolder temp;
  const fs::path program = temp.Path() / "Setup.bin";
  loadertest::WriteText(program);
  ASSERT_TRUE(SetFileAttributesA(program.string().c_str(), FILE_ATTRIBUTE_READONLY));
  // Stands in for the running program.
  HANDLE running = CreateFileA(program.string().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  HANDLE ends = CreateThread(nullptr, 0, CloseAfterAWhile, running, 0, nullptr);
  ASSERT_NE(ends, nullptr);
  WaitForMainProgram(program.string().c_str());
  WaitForSingleObject(ends, INFINITE);
  CloseHandle(ends);
  EXPECT_FALSE(fs::exists(program));
}

TEST(WaitForMainProgramTest, EndsWhenTheProgramIsGoneAndDispatchesMessagesMeanwhile) {
  testsupport::TempFolder temp;
  const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr) {
    gDispatched = 0;
    gStaticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    PostMessageA(window, WM_APP, 0, 0);
  }
  WaitForMainProgram((temp.Path() / "Setup.bin").string().c_str());
  if (window != nullptr) {
    EXPECT_EQ(gDispatched, 1);
    DestroyWindow(window);
  }
}
