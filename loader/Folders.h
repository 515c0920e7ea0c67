// File-system routines of the temporary folder.
#pragma once

#include <cstddef>

#include "AnsiPath.h"

// True only for an existing directory (not a plain file, not an empty path).
bool FolderExists(const char* path);

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
