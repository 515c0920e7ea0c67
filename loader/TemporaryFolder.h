// Finding, creating and deleting the temporary folder CV0, CV1, ... under the
// system temporary path.
#pragma once

#include <cstddef>

// The system temporary path in long form, ending with a backslash. False
// when the system reports none, or one of MAX_PATH characters or more.
bool SystemTempPath(char* path, std::size_t capacity);

// Creates the first free folder "CV<n>" under `basePath` (which ends with a
// backslash), n = 0, 1, ... 65535, and gives its full path. An empty folder
// of that name is removed and the name reused; a non-empty folder, a file of
// that name, or a folder that another process creates first is skipped.
// False when every name is taken or the names would not leave room for the
// files the loader puts into the folder. A creation that fails for another
// reason goes unnoticed here: the first file written into the folder fails.
bool CreateTempFolder(const char* basePath, char* folder, std::size_t capacity);

// Makes "C:\" the current folder, so that no folder of ours stays in use,
// then deletes TempDir with everything in it. True when it is gone.
bool DeleteTempDir();
