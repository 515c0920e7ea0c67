// Taking the library out of a loader's resource into a folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LibraryUnpacking.h"
#include "LoaderTestSupport.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

class LibraryUnpackingTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp;

  static HMODULE Open(const char* program) {
    return LoadLibraryExA((loadertest::ProgramFolder() / program).string().c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE);
  }
};

}  // namespace

TEST_F(LibraryUnpackingTest, LeavesTheExpandedLibraryAndNoCompressedCopy) {
  const HMODULE loader = Open("setup.exe");
  ASSERT_NE(loader, nullptr);
  EXPECT_TRUE(ExpandLibrary(loader, temp.Path().string().c_str()));
  FreeLibrary(loader);
  EXPECT_EQ(testsupport::ReadFileBytes(temp.Path() / "bzip2arc.dll"),
            testsupport::ReadFileBytes(loadertest::ProgramFolder() / "bzip2arc.dll"));
  EXPECT_FALSE(fs::exists(temp.Path() / "bzip2arc.dl_"));
  // The expanded library is one that loads.
  const HMODULE library = LoadLibraryA((temp.Path() / "bzip2arc.dll").string().c_str());
  ASSERT_NE(library, nullptr);
  EXPECT_NE(GetProcAddress(library, "ExtractAll"), nullptr);
  FreeLibrary(library);
}

TEST_F(LibraryUnpackingTest, ReplacesAnOlderLibraryOfTheSameName) {
  loadertest::WriteText(temp.Path() / "bzip2arc.dll", "stale");
  loadertest::WriteText(temp.Path() / "bzip2arc.dl_", "stale");
  const HMODULE loader = Open("setup.exe");
  ASSERT_NE(loader, nullptr);
  EXPECT_TRUE(ExpandLibrary(loader, temp.Path().string().c_str()));
  FreeLibrary(loader);
  EXPECT_EQ(fs::file_size(temp.Path() / "bzip2arc.dll"), fs::file_size(loadertest::ProgramFolder() / "bzip2arc.dll"));
}

TEST_F(LibraryUnpackingTest, FailsWithoutTheResourceAndWritesNothing) {
  const HMODULE loader = Open("setup-noresource.exe");
  ASSERT_NE(loader, nullptr);
  EXPECT_FALSE(ExpandLibrary(loader, temp.Path().string().c_str()));
  FreeLibrary(loader);
  EXPECT_TRUE(fs::is_empty(temp.Path()));
}

TEST_F(LibraryUnpackingTest, FailsWhenTheFolderIsMissing) {
  const HMODULE loader = Open("setup.exe");
  ASSERT_NE(loader, nullptr);
  EXPECT_FALSE(ExpandLibrary(loader, (temp.Path() / "missing").string().c_str()));
  FreeLibrary(loader);
  EXPECT_FALSE(fs::exists(temp.Path() / "missing"));
}

namespace {

// A stand-in for LZ32 that records what is asked of it.
struct FakeLz {
  bool TargetOpens = true;
  std::vector<std::string> Calls;
};
FakeLz gFake;

INT WINAPI FakeOpen(LPSTR name, LPOFSTRUCT, WORD style) {
  const bool target = (style & OF_CREATE) != 0;
  gFake.Calls.push_back(std::string(target ? "create " : "read ") + name);
  if (target && !gFake.TargetOpens) return -1;
  return target ? 2 : 1;
}
LONG WINAPI FakeCopy(INT source, INT target) {
  gFake.Calls.push_back("copy " + std::to_string(source) + " " + std::to_string(target));
  return -1;  // an expansion failure is not looked at
}
void WINAPI FakeClose(INT handle) { gFake.Calls.push_back("close " + std::to_string(handle)); }

using Calls = std::vector<std::string>;

}  // namespace

TEST(ExpandCompressedCopyTest, CopiesThenClosesSourceBeforeTarget) {
  gFake = FakeLz{};
  char source[] = "C:\\T\\bzip2arc.dl_", target[] = "C:\\T\\bzip2arc.dll";
  EXPECT_TRUE(ExpandCompressedCopy({FakeOpen, FakeCopy, FakeClose}, source, target));
  EXPECT_EQ(gFake.Calls, (Calls{"read C:\\T\\bzip2arc.dl_", "create C:\\T\\bzip2arc.dll", "copy 1 2", "close 1",
                                "close 2"}));
}

TEST(ExpandCompressedCopyTest, ATargetThatCannotBeCreatedLeavesTheSourceClosed) {
  gFake = FakeLz{};
  gFake.TargetOpens = false;
  char source[] = "C:\\T\\bzip2arc.dl_", target[] = "C:\\T\\bzip2arc.dll";
  EXPECT_FALSE(ExpandCompressedCopy({FakeOpen, FakeCopy, FakeClose}, source, target));
  EXPECT_EQ(gFake.Calls, (Calls{"read C:\\T\\bzip2arc.dl_", "create C:\\T\\bzip2arc.dll", "close 1"}));
}
