#include "LoaderTestSupport.h"

#include <winioctl.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "Text.h"

namespace loadertest {

namespace {

using UnixFileNameProc = char*(CDECL*)(LPCWSTR);

std::string UnixName(const std::filesystem::path& path) {
  const auto convert = reinterpret_cast<UnixFileNameProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* name = convert(path.wstring().c_str());
  if (name == nullptr) return {};
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Runs a Unix program (Wine starts those too) and gives it time to finish:
// its end is not Wine's to wait for.
bool RunUnix(const char* program, std::string commandLine, const std::filesystem::path& changes,
             bool untilPresent) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const bool present = GetFileAttributesA(changes.string().c_str()) != INVALID_FILE_ATTRIBUTES;
    if (present == untilPresent) return true;
    Sleep(20);
  }
  return false;
}

// Wine 8 can neither create symbolic links nor set reparse points, but it
// shows Unix links to folders as reparse points.
bool MakeUnixLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  const std::string unixTarget = UnixName(target), unixLink = UnixName(link);
  if (unixTarget.empty() || unixLink.empty()) return false;
  return RunUnix("Z:\\bin\\ln", "/bin/ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", link, true);
}

struct MountPointHeader {
  DWORD ReparseTag;
  WORD ReparseDataLength;
  WORD Reserved;
  WORD SubstituteNameOffset;
  WORD SubstituteNameLength;
  WORD PrintNameOffset;
  WORD PrintNameLength;
};

bool MakeJunction(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (!CreateDirectoryA(link.string().c_str(), nullptr)) return false;
  HANDLE handle = CreateFileA(link.string().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + target.wstring(), print = target.wstring();
  const auto substituteBytes = static_cast<WORD>(substitute.size() * 2), printBytes = static_cast<WORD>(print.size() * 2);
  std::vector<char> buffer(sizeof(MountPointHeader) + substituteBytes + printBytes + 4, 0);
  MountPointHeader header{IO_REPARSE_TAG_MOUNT_POINT, 0, 0, 0, substituteBytes,
                          static_cast<WORD>(substituteBytes + 2), printBytes};
  header.ReparseDataLength = static_cast<WORD>(buffer.size() - 8);
  std::memcpy(buffer.data(), &header, sizeof header);
  std::memcpy(buffer.data() + sizeof header, substitute.c_str(), substituteBytes);
  std::memcpy(buffer.data() + sizeof header + substituteBytes + 2, print.c_str(), printBytes);
  DWORD returned = 0;
  const BOOL set = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                   nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  if (!set) RemoveDirectoryA(link.string().c_str());
  return set != FALSE;
}

bool IsFolderLink(const std::filesystem::path& link) {
  const DWORD attributes = GetFileAttributesA(link.string().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

void RemoveFolderLink(const std::filesystem::path& link) {
  if (GetFileAttributesA(link.string().c_str()) == INVALID_FILE_ATTRIBUTES) return;
  if (UnderWine()) {
    const std::string unixLink = UnixName(link);
    if (!unixLink.empty()) RunUnix("Z:\\bin\\rm", "/bin/rm -f \"" + unixLink + "\"", link, false);
  } else {
    RemoveDirectoryA(link.string().c_str());
  }
}

std::filesystem::path ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::filesystem::path(std::string(path, length)).parent_path();
}

TempDirSetting::TempDirSetting(const std::string& folder) { CopyText(TempDir, sizeof TempDir, folder.c_str()); }

TempDirSetting::~TempDirSetting() { TempDir[0] = '\0'; }

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (UnderWine()) return MakeUnixLink(link, target) && IsFolderLink(link);
  // Without the privilege, Windows 10 allows it in developer mode only.
  constexpr DWORD kAllowUnprivileged = 0x2;
  if (CreateSymbolicLinkA(link.string().c_str(), target.string().c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY | kAllowUnprivileged) &&
      IsFolderLink(link)) {
    return true;
  }
  return MakeJunction(link, target) && IsFolderLink(link);
}

}  // namespace loadertest
