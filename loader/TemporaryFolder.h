// Finding, creating and deleting the temporary folder CV0, CV1, ... under the
// system temporary path.
#pragma once

#include <cstddef>

#include "AnsiPath.h"
#include "Folders.h"

// The longest name the loader appends to the temporary folder's path.
constexpr std::size_t kLongestAppendedName = sizeof "\\bzip2arc.dll" - 1;
// The first folder name the loader tries.
constexpr std::size_t kFirstFolderName = sizeof "CV0" - 1;

// The system temporary path in the ANSI code page, ending with a backslash:
// LongPath's form, or the short form where that does not fit `capacity`.
// When the system's own ANSI form (GetTempPathA's) names no usable folder,
// because a character has no equivalent or the path is too long, TMP and
// TEMP of this process are pointed at the form returned: the library's work
// file and Setup.bin, which inherits them, ask GetTempPathA.
PathProblem SystemTempPath(char* path, std::size_t capacity);

// Creates the first free folder "CV<n>" under `basePath` (which ends with a
// backslash), n = 0, 1, ... 65535, gives its full path and holds it in
// `hold` from its creation on. An empty folder of that name is removed and
// the name reused; a non-empty folder, a link, a file of that name, or a
// folder that another process creates or holds first is skipped.
// False (folder empty) when every name is taken, when the names would not
// leave room for the files the loader puts into the folder, or when the
// folder cannot be created (the base path missing, access denied, a name
// the file system refuses).
bool CreateTempFolder(const char* basePath, char* folder, std::size_t capacity, FolderHold& hold);

// Keeps TempDir ours from its creation until DeleteTempDir.
extern FolderHold TempDirHold;

// Lets TempDir go, makes "C:\" the current folder, so that no folder of ours
// stays in use, then deletes TempDir with everything in it. True when it is
// gone.
bool DeleteTempDir();
