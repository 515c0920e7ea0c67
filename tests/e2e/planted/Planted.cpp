// A stand-in for a DLL that someone planted beside the setup loader. Loading
// it leaves a marker file beside it that names the process which loaded it.
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE module) {
  char path[MAX_PATH + 16] = {};
  DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcatA(path, ".loaded");
  HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return;
  char process[MAX_PATH] = {};
  DWORD processLength = GetModuleFileNameA(nullptr, process, MAX_PATH);
  DWORD written = 0;
  WriteFile(marker, process, processLength, &written, nullptr);
  CloseHandle(marker);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(module);
  return TRUE;
}
