// The loader's file-system routines on a real file system (under Wine): the
// folder test, the long form of a path, the deletion of the temporary folder,
// its creation and the room its name leaves. (The choice between leftovers CV0, CV1, ... is
// the end-to-end case leftover_folders.)
#include <gtest/gtest.h>

#include <windows.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "Folders.h"
#include "TemporaryFolder.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

// As Setup.bin finds the files beside it.
bool FindsFile(const std::string& folder, const char* name) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA((folder + "\\" + name).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Runs a Unix program in `folder` and waits until it has made `changed`
// present or absent: Wine starts Unix programs, but does not wait for them.
// False outside Wine.
bool RunUnix(const char* program, std::string commandLine, const fs::path& folder, const fs::path& changed,
             bool present) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.string().c_str(),
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int attempt = 0; attempt < 250; ++attempt, Sleep(20))
    if ((GetFileAttributesA(changed.string().c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
  return false;
}

class FoldersTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp;
  const fs::path root = temp.Path() / "root";
};

}  // namespace

TEST_F(FoldersTest, FolderExistsOnlyForAnExistingDirectory) {
  fs::create_directory(root);
  Touch(temp.Path() / "file");
  EXPECT_TRUE(FolderExists(root.string().c_str()));
  EXPECT_FALSE(FolderExists(temp.File("file").c_str()));
  EXPECT_FALSE(FolderExists(temp.File("missing").c_str()));
  EXPECT_FALSE(FolderExists(""));
}

TEST_F(FoldersTest, LongPathGivesTheStoredNamesAfterTheHead) {
  const auto Long = [](const std::wstring& path) {
    char result[MAX_PATH];
    return LongPath(path.c_str(), result, sizeof result) == PathProblem::None ? std::string(result) : "(refused)";
  };
  const fs::path deep = temp.Path() / "A Rather Long Folder Name" / "Another Long Name Inside";
  fs::create_directories(deep);
  const std::string base = Long(temp.Path().wstring()), stored = base + "\\A Rather Long Folder Name\\Another Long Name Inside";
  wchar_t shortPath[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(deep.wstring().c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_NE(std::wstring(shortPath).find(L'~'), std::wstring::npos);
  std::wstring upper = deep.wstring();
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  const std::pair<std::wstring, std::string> cases[] = {
      {L"C:\\", "C:\\"},
      {L"no-separator", "no-separator"},
      {std::wstring(shortPath) + L"\\", stored + "\\"},
      {upper, stored},
      {temp.Path().wstring() + L"\\Missing\\Deeper\\", base + "\\Missing\\Deeper\\"},  // unknown components are taken over
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Long(path), expected) << fs::path(path).string();
  char small[8];
  EXPECT_EQ(LongPath(shortPath, small, sizeof small), PathProblem::TooLong);
}

// A user profile named in another script than the system's code page: the
// "A" functions reach such a folder only through its short name.
TEST_F(FoldersTest, LongPathKeepsTheShortNameWhereTheCodePageLacksTheLongOne) {
  if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252";
  const fs::path polish = temp.Path() / L"\u0141\u00f3d\u017a profile", latin = polish / L"Caf\u00e9 Folder";
  fs::create_directories(latin);
  wchar_t shortPath[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(polish.wstring().c_str(), shortPath, MAX_PATH), 0u);
  const std::string shortName = fs::path(shortPath).filename().string();  // ASCII
  char base[MAX_PATH], result[MAX_PATH];
  ASSERT_EQ(LongPath(temp.Path().wstring().c_str(), base, sizeof base), PathProblem::None);
  ASSERT_EQ(LongPath((latin.wstring() + L"\\").c_str(), result, sizeof result), PathProblem::None);
  EXPECT_EQ(result, std::string(base) + "\\" + shortName + "\\Caf\xE9 Folder\\");  // 1252 has the "é"
  EXPECT_TRUE(FolderExists(result));
  // Nothing of the file system's to fall back on: no form fits.
  EXPECT_EQ(LongPath((polish.wstring() + L"\\missing \u0434").c_str(), result, sizeof result),
            PathProblem::NotRepresentable);
  EXPECT_STREQ(result, "");
}

TEST_F(FoldersTest, DeleteFolderRemovesNestedFoldersAndReadOnlyFiles) {
  fs::create_directories(root / "a" / "b");
  Touch(root / "top.txt");
  Touch(root / "a" / "b" / "deep.txt");
  Touch(root / "a" / "locked.txt");
  ASSERT_TRUE(SetFileAttributesA((root / "a" / "locked.txt").string().c_str(),
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(DeleteFolder(root.string().c_str(), true));
  EXPECT_FALSE(fs::exists(root));
  EXPECT_FALSE(DeleteFolder(root.string().c_str(), true));
}

TEST_F(FoldersTest, DeleteFolderGoesOnPastWhatMustStayAndReportsIt) {
  fs::create_directories(root / "sub");
  for (const char* name : {".keep", "busy.bin", "other.txt", "sub/inner.txt"}) Touch(root / name);
  const HANDLE busy = CreateFileA((root / "busy.bin").string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFolder(root.string().c_str(), true));
  EXPECT_TRUE(fs::exists(root / "busy.bin"));
  EXPECT_FALSE(fs::exists(root / "other.txt"));
  EXPECT_FALSE(fs::exists(root / "sub"));
  CloseHandle(busy);
  EXPECT_TRUE(DeleteFolder(root.string().c_str(), true));  // names that begin with "." go too
  EXPECT_FALSE(fs::exists(root));
}

TEST_F(FoldersTest, DeleteFolderDoesNotFollowALinkInside) {
  const fs::path outside = temp.Path() / "outside", link = root / "link";
  fs::create_directories(outside);
  fs::create_directories(root);
  Touch(outside / "precious.txt");
  Touch(root / "ours.txt");
  // Wine cannot make links itself, but shows a Unix link to a folder as a
  // directory reparse point.
  if (!RunUnix("Z:\\bin\\ln", "ln -s ../outside link", root, link, true)) GTEST_SKIP() << "no folder links here";
  ASSERT_NE(GetFileAttributesA(link.string().c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  DeleteFolder(link.string().c_str(), true);  // as if the temporary folder were a link
  DeleteFolder(root.string().c_str(), true);
  EXPECT_TRUE(fs::exists(outside / "precious.txt"));
  EXPECT_FALSE(fs::exists(root / "ours.txt"));
  RunUnix("Z:\\bin\\rm", "rm link", root, link, false);
}

TEST_F(FoldersTest, TheTemporaryFolderLeavesRoomForTheLibraryInside) {
  // "<folder>\bzip2arc.dll" must stay below MAX_PATH characters.
  const std::string base = temp.Path().string() + "\\", longest = base + std::string(242 - base.size(), 'f') + "\\";
  fs::create_directory(longest);
  char folder[MAX_PATH];
  FolderHold hold;
  EXPECT_TRUE(CreateTempFolder(longest.c_str(), folder, sizeof folder, hold));
  EXPECT_EQ(folder, longest + "CV0");
  EXPECT_TRUE(FolderExists(folder));
  const std::string tooLong = base + std::string(243 - base.size(), 'f') + "\\";
  fs::create_directory(tooLong);
  EXPECT_FALSE(CreateTempFolder(tooLong.c_str(), folder, sizeof folder, hold));
  EXPECT_STREQ(folder, "");
}

TEST_F(FoldersTest, AFolderThatCannotBeCreatedIsAFailure) {
  char folder[MAX_PATH];
  FolderHold hold;
  for (const std::string& base : {temp.File("missing") + "\\", temp.File("bad<name") + "\\"}) {
    EXPECT_FALSE(CreateTempFolder(base.c_str(), folder, sizeof folder, hold)) << base;
    EXPECT_STREQ(folder, "");
  }
  // A file of the name is a name that is taken.
  Touch(temp.Path() / "CV0");
  EXPECT_TRUE(CreateTempFolder((temp.Path().string() + "\\").c_str(), folder, sizeof folder, hold));
  EXPECT_EQ(folder, temp.File("CV1"));
}

// A loader holds its folder from the moment it created it, so that another
// loader, which would reuse an empty leftover, can neither remove it nor
// take it for its own; it lets go only to delete it. Setup.bin still lists it.
TEST_F(FoldersTest, TheTemporaryFolderIsHeldUntilItsOwnerLetsGo) {
  const std::string base = temp.Path().string() + "\\";
  char first[MAX_PATH], second[MAX_PATH];
  FolderHold firstHold, secondHold, anotherHold;
  ASSERT_TRUE(CreateTempFolder(base.c_str(), first, sizeof first, firstHold));
  EXPECT_EQ(first, base + "CV0");
  EXPECT_FALSE(RemoveDirectoryA(first));
  EXPECT_FALSE(anotherHold.Take(first));
  Touch(fs::path(first) / "Setup.bin");
  EXPECT_TRUE(FindsFile(first, "*.bin"));
  EXPECT_TRUE(DeleteFileA((std::string(first) + "\\Setup.bin").c_str()));
  ASSERT_TRUE(CreateTempFolder(base.c_str(), second, sizeof second, secondHold));
  EXPECT_EQ(second, base + "CV1");
  EXPECT_TRUE(FolderExists(first));
  firstHold.Release();
  EXPECT_TRUE(RemoveDirectoryA(first));
  secondHold.Release();
  EXPECT_TRUE(RemoveDirectoryA(second));
}

// A link as a leftover CV0 is another's: neither removed nor followed.
TEST_F(FoldersTest, ALinkAmongTheLeftoversIsLeftAlone) {
  const fs::path outside = temp.Path() / "outside", link = root / "CV0";
  fs::create_directories(outside);
  fs::create_directories(root);
  if (!RunUnix("Z:\\bin\\ln", "ln -s ../outside CV0", root, link, true)) GTEST_SKIP() << "no folder links here";
  char folder[MAX_PATH];
  FolderHold hold;
  EXPECT_TRUE(CreateTempFolder((root.string() + "\\").c_str(), folder, sizeof folder, hold));
  EXPECT_EQ(folder, (root / "CV1").string());
  EXPECT_TRUE(fs::is_directory(outside));
  EXPECT_NE(GetFileAttributesA(link.string().c_str()), INVALID_FILE_ATTRIBUTES);
  hold.Release();
  RunUnix("Z:\\bin\\rm", "rm CV0", root, link, false);
}
