// Taking the archive library out of the loader's resource "BZIP2ARC".
#pragma once

#include <windows.h>

// Writes the resource of `module` as "<folder>\bzip2arc.dl_", expands it with
// LZ32 into "<folder>\bzip2arc.dll" and deletes the compressed copy. False
// when the resource, either file or LZ32 is not to be had; a damaged
// resource is not noticed here (the library then fails to load).
bool ExpandLibrary(HMODULE module, const char* folder);

// LZ32's functions, looked up at run time: a static import would be resolved
// before the loader could keep the search out of its own folder.
struct LzFunctions {
  INT(WINAPI* Init)(INT file);
  LONG(WINAPI* Copy)(INT source, INT target);
  void(WINAPI* Close)(INT handle);
};

// Expands the SZDD file `compressed` into `expanded` with `lz`. False when
// either file cannot be opened or LZ32 takes no more files; nothing stays
// open then. Whether the expansion itself succeeds is not looked at.
bool ExpandCompressedCopy(const LzFunctions& lz, const char* compressed, const char* expanded);

// ExpandLibrary for the loader itself into TempDir; ends the process through
// the error exit on failure.
void UnpackLibrary();
