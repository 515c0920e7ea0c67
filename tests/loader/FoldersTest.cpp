// The loader's folder routines on a real file system (under Wine).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "Folders.h"
#include "LoaderTestSupport.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using loadertest::WriteText;

namespace {

std::string Long(const std::string& path) {
  char result[MAX_PATH];
  EXPECT_TRUE(LongPath(path.c_str(), result, sizeof result)) << path;
  return result;
}

std::string Short(const fs::path& path) {
  char result[MAX_PATH];
  const DWORD length = GetShortPathNameA(path.string().c_str(), result, sizeof result);
  return std::string(result, length);
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

class FoldersTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp;
  std::string Path(const std::string& name) const { return temp.File(name); }
};

}  // namespace

TEST_F(FoldersTest, FolderExistsOnlyForDirectories) {
  fs::create_directory(temp.Path() / "folder");
  WriteText(temp.Path() / "file");
  EXPECT_TRUE(FolderExists(Path("folder").c_str()));
  EXPECT_FALSE(FolderExists(Path("file").c_str()));
  EXPECT_FALSE(FolderExists(Path("missing").c_str()));
  EXPECT_FALSE(FolderExists(""));
}

TEST_F(FoldersTest, FindLastCharFindsTheLastOccurrenceOrNone) {
  char text[] = "C:\\a\\b";
  EXPECT_EQ(FindLastChar(text, '\\'), text + 4);
  char none[] = "abc";
  EXPECT_EQ(FindLastChar(none, '\\'), nullptr);
  char empty[] = "";
  EXPECT_EQ(FindLastChar(empty, '\\'), nullptr);
  char first[] = "\\abc";
  EXPECT_EQ(FindLastChar(first, '\\'), first);
}

TEST_F(FoldersTest, LongNameGivesTheStoredNameOfTheLastComponent) {
  fs::create_directory(temp.Path() / "Stored Case Folder");
  char name[MAX_PATH];
  EXPECT_TRUE(LongName(Upper(Path("Stored Case Folder")).c_str(), name, sizeof name));
  EXPECT_STREQ(name, "Stored Case Folder");
  EXPECT_FALSE(LongName(Path("missing").c_str(), name, sizeof name));
  EXPECT_STREQ(name, "");
  EXPECT_FALSE(LongName((Path("Stored Case Folder") + "\\").c_str(), name, sizeof name));
}

TEST_F(FoldersTest, LongPathKeepsTheHeadAndATrailingSeparator) {
  EXPECT_EQ(Long("C:\\"), "C:\\");
  EXPECT_EQ(Long("no-separator"), "no-separator");
  const std::string folder = Path("kept");
  fs::create_directory(folder);
  EXPECT_EQ(Long(folder + "\\"), Long(folder) + "\\");
}

TEST_F(FoldersTest, LongPathReplacesShortNamesAndWrongCase) {
  const fs::path deep = temp.Path() / "A Rather Long Folder Name" / "Another Long Name Inside";
  fs::create_directories(deep);
  const std::string base = Long(temp.Path().string());
  const std::string shortForm = Short(deep);
  ASSERT_NE(shortForm.find('~'), std::string::npos) << shortForm;
  EXPECT_EQ(Long(shortForm + "\\"), base + "\\A Rather Long Folder Name\\Another Long Name Inside\\");
  EXPECT_EQ(Long(Upper(deep.string())), base + "\\A Rather Long Folder Name\\Another Long Name Inside");
}

TEST_F(FoldersTest, LongPathTakesOverWhatTheFileSystemDoesNotKnow) {
  const std::string base = Long(temp.Path().string());
  EXPECT_EQ(Long(base + "\\Missing\\Deeper\\"), base + "\\Missing\\Deeper\\");
}

TEST_F(FoldersTest, LongPathRefusesWhatDoesNotFit) {
  fs::create_directory(temp.Path() / "A Rather Long Folder Name");
  char result[8];
  EXPECT_FALSE(LongPath(Short(temp.Path() / "A Rather Long Folder Name").c_str(), result, sizeof result));
  EXPECT_STREQ(result, "");
}

TEST_F(FoldersTest, DeleteFolderRemovesNestedFoldersAndReadOnlyFiles) {
  const fs::path root = temp.Path() / "root";
  fs::create_directories(root / "a" / "b" / "c");
  WriteText(root / "top.txt");
  WriteText(root / "a" / "b" / "c" / "deep.txt");
  WriteText(root / "a" / "locked.txt");
  ASSERT_TRUE(SetFileAttributesA((root / "a" / "locked.txt").string().c_str(),
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(DeleteFolder(root.string().c_str(), true));
  EXPECT_FALSE(fs::exists(root));
}

TEST_F(FoldersTest, DeleteFolderLeavesNamesBeginningWithAFullStop) {
  const fs::path root = temp.Path() / "root";
  fs::create_directories(root / "sub");
  WriteText(root / ".keep");
  WriteText(root / "other.txt");
  WriteText(root / "sub" / "inner.txt");
  EXPECT_FALSE(DeleteFolder(root.string().c_str(), true));
  EXPECT_TRUE(fs::exists(root / ".keep"));
  EXPECT_FALSE(fs::exists(root / "other.txt"));
  EXPECT_FALSE(fs::exists(root / "sub"));
}

TEST_F(FoldersTest, DeleteFolderWithoutRemoveFoldersKeepsTheTree) {
  const fs::path root = temp.Path() / "root";
  fs::create_directories(root / "sub");
  WriteText(root / "sub" / "inner.txt");
  EXPECT_TRUE(DeleteFolder(root.string().c_str(), false));
  EXPECT_TRUE(fs::is_directory(root / "sub"));
  EXPECT_FALSE(fs::exists(root / "sub" / "inner.txt"));
}

TEST_F(FoldersTest, DeleteFolderOnAMissingFolderOrAFileTouchesNothing) {
  EXPECT_FALSE(DeleteFolder(Path("missing").c_str(), true));
  WriteText(temp.Path() / "file");
  EXPECT_FALSE(DeleteFolder(Path("file").c_str(), true));
  EXPECT_TRUE(fs::exists(temp.Path() / "file"));
  EXPECT_FALSE(DeleteFolder("", true));
}

TEST_F(FoldersTest, DeleteFolderGoesOnPastAFileHeldOpen) {
  const fs::path root = temp.Path() / "root";
  fs::create_directory(root);
  WriteText(root / "busy.bin");
  WriteText(root / "free.bin");
  HANDLE busy = CreateFileA((root / "busy.bin").string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFolder(root.string().c_str(), true));
  CloseHandle(busy);
  EXPECT_TRUE(fs::exists(root / "busy.bin"));
  EXPECT_FALSE(fs::exists(root / "free.bin"));
}

// Links inside the temporary folder must never lead the deletion elsewhere.
class FolderLinkTest : public FoldersTest {
 protected:
  void SetUp() override {
    fs::create_directories(outside / "sub");
    WriteText(outside / "precious.txt");
    WriteText(outside / "sub" / "precious too.txt");
    fs::create_directory(root);
    WriteText(root / "ours.txt");
  }
  void TearDown() override {
    loadertest::RemoveFolderLink(root / "link");
    loadertest::RemoveFolderLink(temp.Path() / "link");
  }
  void ExpectOutsideUntouched() const {
    EXPECT_TRUE(fs::exists(outside / "precious.txt"));
    EXPECT_TRUE(fs::exists(outside / "sub" / "precious too.txt"));
  }
  static bool Exists(const fs::path& path) { return GetFileAttributesA(path.string().c_str()) != INVALID_FILE_ATTRIBUTES; }

  const fs::path outside = temp.Path() / "outside";
  const fs::path root = temp.Path() / "root";
};

TEST_F(FolderLinkTest, ALinkInsideIsNotFollowed) {
  if (!loadertest::MakeFolderLink(root / "link", outside)) GTEST_SKIP() << "no folder links can be made here";
  DeleteFolder(root.string().c_str(), true);
  ExpectOutsideUntouched();
  EXPECT_FALSE(Exists(root / "ours.txt"));
}

TEST_F(FolderLinkTest, ALinkInsideIsRemovedItself) {
  if (loadertest::UnderWine()) {
    GTEST_SKIP() << "Wine 8 cannot remove a link to a folder: it reports the folder it points at as not empty";
  }
  if (!loadertest::MakeFolderLink(root / "link", outside)) GTEST_SKIP() << "no folder links can be made here";
  EXPECT_TRUE(DeleteFolder(root.string().c_str(), true));
  EXPECT_FALSE(Exists(root));
  ExpectOutsideUntouched();
}

TEST_F(FolderLinkTest, AFolderThatIsALinkIsNotEmptied) {
  const fs::path link = temp.Path() / "link";
  if (!loadertest::MakeFolderLink(link, outside)) GTEST_SKIP() << "no folder links can be made here";
  const bool removed = DeleteFolder(link.string().c_str(), true);
  ExpectOutsideUntouched();
  if (!loadertest::UnderWine()) {
    EXPECT_TRUE(removed);
    EXPECT_FALSE(Exists(link));
  }
}
