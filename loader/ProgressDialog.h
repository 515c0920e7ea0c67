// The progress dialog (resource 100) that the loader lives in.
#pragma once

#include <windows.h>

constexpr int kProgressDialogId = 100;

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
