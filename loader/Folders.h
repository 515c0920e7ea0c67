// File-system routines of the temporary folder.
#pragma once

#include <cstddef>

// True only for an existing directory (not a plain file, not an empty path).
bool FolderExists(const char* path);

// `path` with every component after its head replaced by the file system's
// name for it; a component it reports nothing for is taken over unchanged,
// and a trailing backslash stays. False (result empty) if it does not fit.
bool LongPath(const char* path, char* result, std::size_t capacity);

// Deletes everything in `folder` and, with RemoveFolders, the folder itself.
// Entries whose names begin with "." are left alone. Links (reparse points)
// are removed themselves, never followed. Tries every entry once; true when
// all went (with RemoveFolders: when the folder itself could be removed).
bool DeleteFolder(const char* folder, bool RemoveFolders);
