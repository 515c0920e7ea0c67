// The probe's commands. Each returns the process exit code:
// 0 done, 1 timed out or not found, 3 the action failed.
#pragma once

#include "Options.h"

namespace probe {

constexpr int kDone = 0;
constexpr int kTimedOut = 1;
constexpr int kUsage = 2;
constexpr int kFailed = 3;

int WaitForDialog(const Options& options);
int WaitForDialogGone(const Options& options);
int ClickCancel(const Options& options);
int WaitForBox(const Options& options);
int WaitForBoxGone(const Options& options);
int WaitForWindow(const Options& options);
int ListWindows(const Options& options);
int StartProgram(const Options& options);
int LoadDll(const Options& options);

}  // namespace probe
