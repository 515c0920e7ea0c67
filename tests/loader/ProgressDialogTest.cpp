// The progress dialog, made from setup.exe's own template, driven by hand:
// its procedure and the extraction callbacks that report into it.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "ExtractionCallbacks.h"
#include "Globals.h"
#include "LoaderTestSupport.h"
#include "ProgressDialog.h"
#include "SystemLibraries.h"
#include "Text.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

// ProgressDialogProc as the window's own procedure would start the set-up
// from its timer; the test calls it itself.
static INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(DiskPromptTest, NamesTheVolumeAsTheLibraryCountsIt) {
  for (const unsigned volume : {0u, 1u, 12u, 255u}) {
    char text[40];
    FormatDiskPrompt(static_cast<uint8_t>(volume), text, sizeof text);
    EXPECT_EQ(text, "Please insert disk no. #" + std::to_string(volume) + "!");
  }
}

TEST(ProgressDialogTest, OnlyTheCancelButtonCancelsAndTheNextReportAnswersIt) {
  InitCommonControlsAtRunTime();
  const HWND dialog = CreateDialogParamA(SetupModule(), MAKEINTRESOURCEA(100), nullptr, Inert, 0);
  if (dialog == nullptr) GTEST_SKIP() << "no windows here";
  const auto barPosition = [&] { return SendDlgItemMessageA(dialog, 123, PBM_GETPOS, 0, 0); };
  const testsupport::TempFolder temp;
  const fs::path folder = temp.Path() / "CV0";
  fs::create_directories(folder / "sub");
  std::ofstream(folder / "sub" / "file.bin") << "x";
  CopyText(TempDir, sizeof TempDir, folder.string().c_str());
  EXPECT_NE(SendDlgItemMessageA(dialog, 101, STM_GETICON, 0, 0), 0);  // MAINICON in the picture
  DialogHandle = dialog;  // as WM_INITDIALOG sets it; the end-to-end cases see its timer start the set-up
  int32_t answer = 12345;
  ExtractProgress(57, 0, &answer);
  EXPECT_EQ(barPosition(), 57);
  EXPECT_EQ(answer, 0);
  for (const WPARAM other : {MAKEWPARAM(IDCANCEL, BN_SETFOCUS), WPARAM{IDOK}})
    EXPECT_EQ(ProgressDialogProc(dialog, WM_COMMAND, other, 0), 0);
  EXPECT_FALSE(CancelRequested);
  EXPECT_TRUE(fs::exists(folder / "sub" / "file.bin"));

  EXPECT_EQ(ProgressDialogProc(dialog, WM_COMMAND, IDCANCEL, 0), 0);
  EXPECT_TRUE(CancelRequested);
  EXPECT_FALSE(fs::exists(folder));
  char current[MAX_PATH];
  GetCurrentDirectoryA(sizeof current, current);
  EXPECT_STREQ(current, "C:\\");
  ExtractProgress(100, 0, &answer);
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(barPosition(), 100);
  TempDir[0] = '\0';
  CancelRequested = false;  // tests only: the loader never resets it
  DialogHandle = nullptr;
  DestroyWindow(dialog);
}

namespace {

// Presses `button` of the disk prompt once it is up, from another thread:
// the prompt's own loop runs on the test's.
DWORD WINAPI PressPromptButton(LPVOID button) {
  for (int attempt = 0; attempt < 500; ++attempt, Sleep(10)) {
    // Every prompt has OK; once it is there, the box is complete.
    const HWND box = FindWindowA("#32770", "Insert next disk");
    if (box == nullptr || !IsWindowVisible(box) || GetDlgItem(box, IDOK) == nullptr) continue;
    const HWND control = GetDlgItem(box, static_cast<int>(reinterpret_cast<INT_PTR>(button)));
    // Without that button the box still must go, or the test would hang.
    SendMessageA(control != nullptr ? control : GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return control != nullptr ? 1 : 0;
  }
  return 0;
}

}  // namespace

// A user without the disk gets out: Cancel in the prompt cancels the set-up
// as the dialog's button does; OK only lets the library look again.
TEST(ProgressDialogTest, CancelInTheDiskPromptCancelsTheSetup) {
  InitCommonControlsAtRunTime();
  for (const int button : {IDOK, IDCANCEL}) {
    const HWND dialog = CreateDialogParamA(SetupModule(), MAKEINTRESOURCEA(100), nullptr, Inert, 0);
    if (dialog == nullptr) GTEST_SKIP() << "no windows here";
    const testsupport::TempFolder temp;
    const fs::path folder = temp.Path() / "CV0";
    fs::create_directories(folder);
    std::ofstream(folder / "file.bin") << "x";
    CopyText(TempDir, sizeof TempDir, folder.string().c_str());
    DialogHandle = dialog;
    const HANDLE presser = CreateThread(nullptr, 0, PressPromptButton, reinterpret_cast<LPVOID>(INT_PTR{button}), 0, nullptr);
    ASSERT_NE(presser, nullptr);
    RequestDisk(1);
    DWORD pressed = 0;
    WaitForSingleObject(presser, INFINITE);
    GetExitCodeThread(presser, &pressed);
    CloseHandle(presser);
    EXPECT_EQ(pressed, 1u) << "the prompt has no button " << button;
    int32_t answer = 12345;
    ExtractProgress(50, 0, &answer);
    EXPECT_EQ(std::tuple(CancelRequested, answer, fs::exists(folder)),
              button == IDCANCEL ? std::tuple(true, -1, false) : std::tuple(false, 0, true));
    TempDir[0] = '\0';
    CancelRequested = false;  // tests only: the loader never resets it
    DialogHandle = nullptr;
    DestroyWindow(dialog);
  }
}

