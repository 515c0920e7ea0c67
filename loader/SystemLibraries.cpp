#include "SystemLibraries.h"

#include "Globals.h"
#include "LoadedModule.h"
#include "Text.h"

namespace {

// Not in every SDK's headers: the value of Windows 8's LOAD_LIBRARY_SEARCH_SYSTEM32.
constexpr DWORD kSearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
using InitCommonControlsProc = void(WINAPI*)();

}  // namespace

void RestrictLibrarySearch() {
  // Both functions are missing on old systems that lack the update.
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (const auto setDefault = FindExport<SetDefaultDllDirectoriesProc>(kernel, "SetDefaultDllDirectories")) {
    setDefault(kSearchSystem32);
  }
  if (const auto setDirectory = FindExport<SetDllDirectoryProc>(kernel, "SetDllDirectoryA")) setDirectory("");
}

HMODULE LoadSystemLibrary(const char* name) {
  char path[kPathCapacity];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  if (length == 0 || length >= sizeof path) return nullptr;
  if (!AppendText(path, sizeof path, "\\") || !AppendText(path, sizeof path, name)) return nullptr;
  return LoadLibraryA(path);
}

void InitCommonControlsAtRunTime() {
  // By name, not by path: the manifest's activation context maps it to the
  // version-6 assembly; otherwise only the system folder is searched now.
  // Stays loaded for the life of the process, as an import would.
  const HMODULE controls = LoadLibraryA("comctl32.dll");
  if (const auto init = FindExport<InitCommonControlsProc>(controls, "InitCommonControls")) init();
}
