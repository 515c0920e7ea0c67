// The loader's state for the life of the process.
#pragma once

#include <windows.h>

#include <cstddef>

// Every path the loader builds fits the "A" functions' limit.
constexpr std::size_t kPathCapacity = MAX_PATH;

// The temporary folder's full path without a trailing backslash; empty until
// the folder has been created. Every deletion of the temporary folder
// deletes this one.
extern char TempDir[kPathCapacity];

// The progress dialog, stored when it is initialised.
extern HWND DialogHandle;

// Set by the Cancel button, never reset.
extern bool CancelRequested;
