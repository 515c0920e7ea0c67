// setup.exe: brings the main setup program out of the archive set beside it,
// starts it, waits for it and leaves nothing behind. Its whole life is the
// progress dialog; the work runs from the dialog's timer.
#include <windows.h>

#include "ProgressDialog.h"
#include "SystemLibraries.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();
  InitCommonControlsAtRunTime();
  DialogBoxParamA(instance, MAKEINTRESOURCEA(kProgressDialogId), nullptr, ProgressDialogProc, 0);
  return 0;
}
