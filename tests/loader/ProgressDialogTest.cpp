// The progress dialog's procedure, driven with a stand-in window.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "ErrorExits.h"
#include "Globals.h"
#include "LoaderTestSupport.h"
#include "ProgressDialog.h"
#include "SetupSequence.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A stand-in for the dialog window.
class DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
    if (window == nullptr) GTEST_SKIP() << "no windows here";
  }
  void TearDown() override {
    CancelRequested = false;  // tests only: the loader never resets it
    DialogHandle = nullptr;
    if (window != nullptr) DestroyWindow(window);
  }

  HWND window = nullptr;
};

class ProgressDialogTest : public DialogWindowTest {
 protected:
  void SetUp() override {
    DialogWindowTest::SetUp();
    if (IsSkipped()) return;
    fs::create_directories(folder / "sub");
    loadertest::WriteText(folder / "sub" / "file.bin");
  }

  testsupport::TempFolder temp;
  const fs::path folder = temp.Path() / "CV0";
  loadertest::TempDirSetting tempDir{folder.string()};
};

}  // namespace

TEST_F(ProgressDialogTest, InitStoresTheWindowAndArmsTimer111) {
  EXPECT_EQ(ProgressDialogProc(window, WM_INITDIALOG, 0, 0), -1);
  EXPECT_EQ(DialogHandle, window);
  // Killed before any message loop could run the set-up from it.
  EXPECT_TRUE(KillTimer(window, kSetupTimerId));
}

TEST_F(ProgressDialogTest, CancelSetsTheFlagAndDeletesTheTemporaryFolder) {
  EXPECT_EQ(ProgressDialogProc(window, WM_COMMAND, IDCANCEL, 0), 0);
  EXPECT_TRUE(CancelRequested);
  EXPECT_FALSE(fs::exists(folder));
  char current[MAX_PATH];
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STREQ(current, "C:\\");
}

TEST_F(ProgressDialogTest, OtherCommandsAndNotificationsAreIgnored) {
  EXPECT_EQ(ProgressDialogProc(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_SETFOCUS), 0), 0);
  EXPECT_EQ(ProgressDialogProc(window, WM_COMMAND, IDOK, 0), 0);
  EXPECT_EQ(ProgressDialogProc(window, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(ProgressDialogProc(window, WM_TIMER, kSetupTimerId, 0), 0);
  EXPECT_FALSE(CancelRequested);
  EXPECT_TRUE(fs::exists(folder / "sub" / "file.bin"));
}

// The exits end the process: they run in a child process, which repeats the
// test's set-up (and never its tear-down), so the folder must have the same
// name in both.
class ExitTest : public DialogWindowTest {
 protected:
  void SetUp() override {
    DialogWindowTest::SetUp();
    if (IsSkipped()) return;
    fs::remove_all(fixedFolder);
    fs::create_directories(fixedFolder / "sub");
    loadertest::WriteText(fixedFolder / "sub" / "file.bin");
  }
  void TearDown() override {
    fs::remove_all(fixedFolder.parent_path());
    DialogWindowTest::TearDown();
  }

  const fs::path fixedFolder = fs::temp_directory_path() / "loader_tests_exit" / "CV0";
  loadertest::TempDirSetting fixedTempDir{fixedFolder.string()};
};

TEST_F(ExitTest, QuitDeletesTheFolderAndEndsWithExitCode0) {
  EXPECT_EXIT(ProgressDialogProc(window, WM_QUIT, 0, 0), ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(fixedFolder));
}

TEST_F(ExitTest, CleanUpAndExitDeletesTheFolderAndEndsWithExitCode0) {
  EXPECT_EXIT(CleanUpAndExit(), ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(fixedFolder));
}
