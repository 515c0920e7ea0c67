// File-system routines of the temporary folder.
#pragma once

#include <windows.h>

#include <cstddef>

#include "AnsiPath.h"

// True only for an existing directory (not a plain file, not an empty path).
bool FolderExists(const char* path);

// Removes `path` if it is an empty folder that is no link: removing a link
// could reach its target. True when it is gone.
bool RemoveEmptyFolder(const char* path);

// Keeps a folder from being removed, renamed or replaced by anyone else while
// it is held, and from being held twice: a handle that shares neither
// deletion nor writing. Its owner releases it before it deletes the folder.
class FolderHold {
 public:
  FolderHold() = default;
  ~FolderHold() { Release(); }
  FolderHold(const FolderHold&) = delete;
  FolderHold& operator=(const FolderHold&) = delete;

  // Holds `folder`: false when someone else holds it, when it is gone, or
  // when it is a link.
  bool Take(const char* folder);
  void Release();

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// `path` in the ANSI code page with every component after its head replaced
// by the file system's name for it (the long name where the ANSI code page
// takes it, else the short 8.3 one); a component it reports nothing for is
// taken over as it stands, and a trailing backslash stays. The result is
// empty after a problem.
PathProblem LongPath(const wchar_t* path, char* result, std::size_t capacity);

// Deletes everything in `folder` and, with RemoveFolders, the folder itself:
// every entry but "." and "..", names that begin with "." included. Links
// (reparse points) are removed themselves, never followed. Tries every entry
// once; true when all went (with RemoveFolders: when the folder itself could
// be removed).
bool DeleteFolder(const char* folder, bool RemoveFolders);
