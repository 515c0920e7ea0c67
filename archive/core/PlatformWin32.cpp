#include <windows.h>

#include "Platform.h"

namespace bzip2arc {

namespace {

// Names tried before a work file counts as impossible to create.
constexpr int kWorkFileAttempts = 100;

// "<stem><number><extension>" beside `fileName` ("bzin.tmp": "bzin<number>.tmp"),
// created new: a fixed name could be another extraction's file or a link
// that someone planted. It goes away with its handle, even when the process
// is killed.
HANDLE CreateWorkFile(const char* fileName) {
  const std::string_view path(fileName);
  const std::size_t nameStart = path.find_last_of(platform::kFolderDelimiters) + 1;  // npos + 1 is 0
  std::size_t extension = path.rfind('.');
  if (extension == path.npos || extension < nameStart) extension = path.size();
  std::uint32_t number = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < kWorkFileAttempts; ++attempt, ++number) {
    platform::PathText name(path.substr(0, extension));
    name.Append(number).Append(path.substr(extension));
    if (name.Truncated()) break;
    const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const DWORD error = ::GetLastError();
    if (handle != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TFileStream::TFileStream(const char* fileName, FileMode mode) {
  if (mode == FileMode::OpenReadShared) {
    handle_ = ::CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  } else if (mode == FileMode::CreateWorkFile) {
    handle_ = CreateWorkFile(fileName);
  } else {
    handle_ = ::CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
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
