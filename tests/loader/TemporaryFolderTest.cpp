// Choosing and creating the temporary folder CV0, CV1, ...
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "Folders.h"
#include "LoaderTestSupport.h"
#include "TemporaryFolder.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using loadertest::WriteText;

namespace {

class TemporaryFolderTest : public ::testing::Test {
 protected:
  testsupport::TempFolder temp;
  std::string Base() const { return temp.Path().string() + "\\"; }
  // The folder CreateTempFolder picks, or "" when it gives up.
  std::string Create() const {
    char folder[MAX_PATH];
    if (!CreateTempFolder(Base().c_str(), folder, sizeof folder)) {
      EXPECT_STREQ(folder, "");
      return "";
    }
    return folder;
  }
};

}  // namespace

TEST_F(TemporaryFolderTest, TheFirstNameIsCV0) {
  EXPECT_EQ(Create(), Base() + "CV0");
  EXPECT_TRUE(fs::is_directory(temp.Path() / "CV0"));
}

TEST_F(TemporaryFolderTest, AnEmptyLeftoverIsRemovedAndItsNameReused) {
  fs::create_directory(temp.Path() / "CV0");
  EXPECT_EQ(Create(), Base() + "CV0");
  EXPECT_TRUE(fs::is_empty(temp.Path() / "CV0"));
}

TEST_F(TemporaryFolderTest, NonEmptyFoldersAreSkippedAndLeftAlone) {
  fs::create_directory(temp.Path() / "CV0");
  WriteText(temp.Path() / "CV0" / "someone else's");
  EXPECT_EQ(Create(), Base() + "CV1");
  fs::create_directory(temp.Path() / "CV2");
  WriteText(temp.Path() / "CV1" / "ours before");
  EXPECT_EQ(Create(), Base() + "CV2");
  EXPECT_TRUE(fs::exists(temp.Path() / "CV0" / "someone else's"));
}

TEST_F(TemporaryFolderTest, APlainFileCountsAsTaken) {
  WriteText(temp.Path() / "CV0", "not a folder");
  EXPECT_EQ(Create(), Base() + "CV1");
  EXPECT_TRUE(fs::is_regular_file(temp.Path() / "CV0"));
}

TEST_F(TemporaryFolderTest, NamesThatLeaveNoRoomForTheLibraryAreRefused) {
  // "<base><name>\CV0\bzip2arc.dll" must stay below MAX_PATH characters.
  const std::size_t longest = MAX_PATH - 1 - (sizeof "\\CV0\\bzip2arc.dll" - 1) - Base().size();
  const std::string fits(longest, 'f'), tooLong(longest + 1, 't');
  fs::create_directory(temp.Path() / fits);
  fs::create_directory(temp.Path() / tooLong);
  char folder[MAX_PATH];
  EXPECT_TRUE(CreateTempFolder((Base() + fits + "\\").c_str(), folder, sizeof folder));
  EXPECT_EQ(std::string(folder), Base() + fits + "\\CV0");
  EXPECT_FALSE(CreateTempFolder((Base() + tooLong + "\\").c_str(), folder, sizeof folder));
  EXPECT_STREQ(folder, "");
  EXPECT_TRUE(fs::is_empty(temp.Path() / tooLong));
}

TEST_F(TemporaryFolderTest, SystemTempPathIsAnExistingLongFolderWithATrailingSeparator) {
  char path[MAX_PATH];
  ASSERT_TRUE(SystemTempPath(path, sizeof path));
  const std::string text = path;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\\');
  EXPECT_TRUE(FolderExists(text.substr(0, text.size() - 1).c_str()));
  EXPECT_EQ(text.find('~'), std::string::npos) << text;
  char again[MAX_PATH];
  ASSERT_TRUE(LongPath(path, again, sizeof again));
  EXPECT_STREQ(again, path);
}
