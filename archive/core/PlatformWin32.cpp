#include <windows.h>

#include "Platform.h"

namespace bzip2arc {

TFileStream::TFileStream(const char* fileName, FileMode mode) {
  if (mode == FileMode::OpenReadShared) {
    handle_ = ::CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  } else {
    // A work file goes away with its handle, even when the process is killed.
    const DWORD flags = mode == FileMode::CreateWorkFile ? FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE
                                                         : FILE_ATTRIBUTE_NORMAL;
    handle_ = ::CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags, nullptr);
  }
  if (handle_ == INVALID_HANDLE_VALUE) platform::RaiseFileError(mode, fileName);
  open_ = true;
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!::ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) throw EReadError("Stream read error");
  return static_cast<std::int32_t>(done);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD done = 0;
  if (!::WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
  return static_cast<std::int32_t>(done);
}

std::int32_t TFileStream::Seek(std::int32_t offset, std::uint16_t origin) {
  DWORD method = FILE_BEGIN;
  if (origin == soCurrent) method = FILE_CURRENT;
  else if (origin == soEnd) method = FILE_END;
  LONG high = offset < 0 ? -1 : 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::SetFilePointer(handle_, offset, &high, method);
  if ((low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) || high != 0 || low > 0x7FFFFFFF)
    throw EStreamError("Stream seek error");
  return static_cast<std::int32_t>(low);
}

namespace platform {

void CloseFile(FileHandle handle) { ::CloseHandle(handle); }

void EnterRootFolder() { ::SetCurrentDirectoryA("C:\\"); }

bool FileExists(const char* path) {
  WIN32_FIND_DATAA data;
  const HANDLE search = ::FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DuplicateFile(const char* from, const char* to) { return ::CopyFileA(from, to, FALSE) != 0; }

bool RemoveFile(const char* path) { return ::DeleteFileA(path) != 0; }

void ApplyAttributes(const char* path, std::uint32_t attributes) { ::SetFileAttributesA(path, attributes); }

bool StampLastWriteTime(TFileStream& file, std::uint32_t dosDateTime) {
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &local))
    return false;
  if (!::LocalFileTimeToFileTime(&local, &utc)) return false;
  return ::SetFileTime(file.Handle(), nullptr, nullptr, &utc) != 0;
}

PathText TemporaryFolder() {
  PathText path;
  char buffer[kMaxPath];
  const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
  if (length > 0 && length < sizeof buffer) path.Append(std::string_view(buffer, length));
  return path;
}

}  // namespace platform
}  // namespace bzip2arc
