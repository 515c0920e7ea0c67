// Taking the archive library out of the loader's resource "BZIP2ARC".
#pragma once

#include <windows.h>

// Writes the resource of `module` as "<folder>\bzip2arc.dl_", expands it with
// LZ32 into "<folder>\bzip2arc.dll" and deletes the compressed copy. False
// when the resource, either file or LZ32 is not to be had; a damaged
// resource is not noticed here (the library then fails to load).
bool ExpandLibrary(HMODULE module, const char* folder);

// ExpandLibrary for the loader itself into TempDir; ends the process through
// the error exit on failure.
void UnpackLibrary();
