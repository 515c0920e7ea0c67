// The built programs that the loader's tests read: the build puts setup.exe
// and bzip2arc.dll beside the test program.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

inline std::filesystem::path BuiltFile(const char* name) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::string(path, length)).parent_path() / name;
}

// setup.exe, loaded once as data: its resources as the system reads them.
inline HMODULE SetupModule() {
  static const HMODULE module = LoadLibraryExA(BuiltFile("setup.exe").string().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return module;
}
