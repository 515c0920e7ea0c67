#include "ErrorExits.h"

#include "Folders.h"
#include "Globals.h"

void CleanUpAndExit() {
  SetCurrentDirectoryA("C:\\");
  if (!DeleteFolder(TempDir, true)) {
    MessageBoxA(nullptr, "Could not delete temporary installation files!", "Error", MB_OK | MB_ICONERROR);
  }
  ExitProcess(0);
}

void InitErrorExit(const char* message) {
  MessageBoxA(nullptr, message, "Error during setup initialization", MB_OK | MB_ICONERROR);
  CleanUpAndExit();
}
