// The callbacks the library calls during an extraction.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ExtractionCallbacks.h"
#include "Globals.h"
#include "SystemLibraries.h"

namespace {

std::string Prompt(uint8_t volume) {
  char text[64];
  FormatDiskPrompt(volume, text, sizeof text);
  return text;
}

constexpr UINT kCountMe = WM_APP + 7;
int gCounted = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCountMe) {
    ++gCounted;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A stand-in for the progress dialog: a window with the progress bar 123.
class ProgressWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControlsAtRunTime();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LoaderTestProgress";
    RegisterClassA(&windowClass);
    parent = CreateWindowExA(0, "LoaderTestProgress", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (parent == nullptr) GTEST_SKIP() << "no windows here";
    bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 16, parent,
                          reinterpret_cast<HMENU>(123), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(bar, nullptr);
    DialogHandle = parent;
  }
  void TearDown() override {
    DialogHandle = nullptr;
    CancelRequested = false;  // tests only: the loader never resets it
    if (parent != nullptr) DestroyWindow(parent);
  }

  LRESULT Position() const { return SendMessageA(bar, PBM_GETPOS, 0, 0); }

  HWND parent = nullptr;
  HWND bar = nullptr;
};

}  // namespace

TEST(DiskPromptTest, NamesTheVolumeNumberAsTheLibraryGivesIt) {
  EXPECT_EQ(Prompt(1), "Please insert disk no. #1!");
  EXPECT_EQ(Prompt(12), "Please insert disk no. #12!");
  EXPECT_EQ(Prompt(0), "Please insert disk no. #0!");
  EXPECT_EQ(Prompt(255), "Please insert disk no. #255!");
}

TEST_F(ProgressWindow, MovesTheBarToEachReportedPercentage) {
  int32_t cancel = 12345;
  ExtractProgress(57, 999, &cancel);
  EXPECT_EQ(Position(), 57);
  EXPECT_EQ(cancel, 0);
  ExtractProgress(100, 0, &cancel);
  EXPECT_EQ(Position(), 100);
  ExtractProgress(0, 0, &cancel);
  EXPECT_EQ(Position(), 0);
}

TEST_F(ProgressWindow, AnswersMinusOneOnEveryCallAfterCancel) {
  int32_t cancel = 7;
  ExtractProgress(10, 0, &cancel);
  EXPECT_EQ(cancel, 0);
  CancelRequested = true;
  ExtractProgress(20, 0, &cancel);
  EXPECT_EQ(cancel, -1);
  cancel = 0;
  ExtractProgress(30, 0, &cancel);
  EXPECT_EQ(cancel, -1);
  EXPECT_EQ(Position(), 30);
}

TEST_F(ProgressWindow, DispatchesWaitingMessagesBeforeAnswering) {
  gCounted = 0;
  PostMessageA(parent, kCountMe, 0, 0);
  PostMessageA(parent, kCountMe, 0, 0);
  int32_t cancel = 0;
  ExtractProgress(5, 0, &cancel);
  EXPECT_EQ(gCounted, 2);
}
