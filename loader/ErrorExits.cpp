#include "ErrorExits.h"

#include <windows.h>

#include "TemporaryFolder.h"

namespace {

// Deletes the temporary folder (telling the user if that fails) and ends.
[[noreturn]] void CleanUpAndExit() {
  if (!DeleteTempDir()) {
    MessageBoxA(nullptr, "Could not delete temporary installation files!", "Error", MB_OK | MB_ICONERROR);
  }
  ExitProcess(0);
}

}  // namespace

void InitErrorExit(const char* message) {
  MessageBoxA(nullptr, message, "Error during setup initialization", MB_OK | MB_ICONERROR);
  CleanUpAndExit();
}
