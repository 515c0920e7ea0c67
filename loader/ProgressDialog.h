// The progress dialog (resource 100) that the loader lives in.
#pragma once

#include <windows.h>

constexpr int kProgressDialogId = 100;

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What Cancel does, from the dialog's button or the disk prompt: sets
// CancelRequested, ends the dialog and deletes what it can of TempDir. The
// library learns of it at its next look at the progress answer and fails,
// which ends the set-up through the error exit.
void CancelSetup();
