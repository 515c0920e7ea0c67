#include "ProgressDialog.h"

#include "Globals.h"
#include "SetupSequence.h"
#include "TemporaryFolder.h"

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      DialogHandle = window;
      SetTimer(window, kSetupTimerId, kSetupTimerDelay, SetupTimerProc);
      return -1;
    case WM_COMMAND:
      // The button itself; notification codes other than a click don't count.
      if (wParam == IDCANCEL) CancelSetup();
      return 0;
    case WM_QUIT:
      DeleteTempDir();
      ExitProcess(0);
    default:
      return 0;
  }
}

void CancelSetup() {
  CancelRequested = true;
  EndDialog(DialogHandle, 0);
  DeleteTempDir();
}
