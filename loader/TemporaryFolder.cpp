#include "TemporaryFolder.h"

#include <cstring>

#include "Folders.h"
#include "Globals.h"
#include "Text.h"

namespace {

// The longest name the loader appends to the temporary folder's path.
constexpr std::size_t kLongestAppendedName = sizeof "\\bzip2arc.dll" - 1;

}  // namespace

bool SystemTempPath(char* path, std::size_t capacity) {
  char reported[kPathCapacity];
  const DWORD length = GetTempPathA(sizeof reported, reported);
  if (length == 0 || length >= sizeof reported) return false;
  reported[length - 1] = '\0';
  if (reported[0] == '\0') return false;
  if (reported[std::strlen(reported) - 1] != '\\' && !AppendText(reported, sizeof reported, "\\")) return false;
  // The long form may not fit where the short one did: the short one names
  // the same folder.
  if (!LongPath(reported, path, capacity)) return CopyText(path, capacity, reported);
  return true;
}

bool CreateTempFolder(const char* basePath, char* folder, std::size_t capacity) {
  unsigned counter = 0;
  for (;;) {
    if (!CopyText(folder, capacity, basePath) || !AppendText(folder, capacity, "CV") ||
        !AppendDecimal(folder, capacity, counter) || std::strlen(folder) + kLongestAppendedName >= kPathCapacity) {
      CopyText(folder, capacity, "");
      return false;
    }
    if (FolderExists(folder)) {
      // An empty leftover of an earlier run: its name is free once it is gone.
      if (RemoveDirectoryA(folder)) continue;
    } else if (CreateDirectoryA(folder, nullptr) || GetLastError() != ERROR_ALREADY_EXISTS) {
      return true;
    }
    if (counter == 0xFFFF) {
      CopyText(folder, capacity, "");
      return false;
    }
    ++counter;
  }
}

bool DeleteTempDir() {
  SetCurrentDirectoryA("C:\\");
  return DeleteFolder(TempDir, true);
}
