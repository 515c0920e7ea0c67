// Loading DLLs without looking into the loader's own folder. setup.exe is
// often started from a download folder, where anybody may have left a DLL
// named like one that the loader asks for by name.
#pragma once

#include <windows.h>

// Takes the application folder and the current directory out of the DLL
// search (where the system can do that). Call before anything else loads.
void RestrictLibrarySearch();

// Loads `name` (e.g. "lz32.dll") from the system folder by its full path.
HMODULE LoadSystemLibrary(const char* name);

// Loads the common controls (version 6 through the manifest) and registers
// their window classes. Not imported: comctl32 is no known DLL.
void InitCommonControlsAtRunTime();
