#include "TemporaryFolder.h"

#include <windows.h>

#include <cstring>

#include "Folders.h"
#include "Globals.h"
#include "Text.h"

namespace {

// GetTempPathA looks at TMP first; TEMP stays consistent for Setup.bin.
void PointTempVariablesAt(const char* path) {
  char folder[kPathCapacity];
  CopyText(folder, sizeof folder, path);
  // Without the trailing backslash, as the variables are usually set; "C:\" keeps it.
  const std::size_t length = std::strlen(folder);
  if (length > 3) folder[length - 1] = '\0';
  SetEnvironmentVariableA("TMP", folder);
  SetEnvironmentVariableA("TEMP", folder);
}

}  // namespace

PathProblem SystemTempPath(char* path, std::size_t capacity) {
  CopyText(path, capacity, "");
  wchar_t reported[kPathCapacity + 1];
  const DWORD length = GetTempPathW(sizeof reported / sizeof(wchar_t), reported);
  if (length == 0) return PathProblem::Unavailable;
  if (length >= sizeof reported / sizeof(wchar_t)) return PathProblem::TooLong;
  if (reported[length - 1] != L'\\') {
    if (length + 1 >= sizeof reported / sizeof(wchar_t)) return PathProblem::TooLong;
    reported[length] = L'\\';
    reported[length + 1] = L'\0';
  }
  PathProblem problem = LongPath(reported, path, capacity);
  // The short form names the same folder and may fit where the long one did not.
  if (problem != PathProblem::None) problem = ShortAnsiPath(reported, path, capacity);
  if (problem != PathProblem::None) return problem;
  char systemForm[kPathCapacity];
  if (ToAnsi(reported, systemForm, sizeof systemForm) != PathProblem::None) PointTempVariablesAt(path);
  return PathProblem::None;
}

FolderHold TempDirHold;

bool CreateTempFolder(const char* basePath, char* folder, std::size_t capacity, FolderHold& hold) {
  unsigned counter = 0;
  for (;;) {
    if (!CopyText(folder, capacity, basePath) || !AppendText(folder, capacity, "CV") ||
        !AppendDecimal(folder, capacity, counter) || std::strlen(folder) + kLongestAppendedName >= kPathCapacity) {
      break;
    }
    if (FolderExists(folder)) {
      // An empty leftover of an earlier run: its name is free once it is gone.
      if (RemoveEmptyFolder(folder)) continue;
    } else if (CreateDirectoryA(folder, nullptr)) {
      // Until it is held, another loader may take the fresh, empty folder for
      // a leftover and make its own in its place: it is ours once held.
      if (hold.Take(folder)) return true;
      // Another's, gone or a link: skipped, and not left behind if it was ours.
      RemoveEmptyFolder(folder);
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
      // Not a name that is taken: every other name would fail alike.
      break;
    }
    if (counter == 0xFFFF) break;
    ++counter;
  }
  CopyText(folder, capacity, "");
  return false;
}

bool DeleteTempDir() {
  TempDirHold.Release();
  SetCurrentDirectoryA("C:\\");
  return DeleteFolder(TempDir, true);
}
