#include <windows.h>

#include "OutputFolder.h"

namespace bzip2arc::platform {

int LastSystemError() { return static_cast<int>(::GetLastError()); }

bool ApplyAttributes(TFileStream& file, std::uint32_t attributes) {
  // The flags a file may be given; 0 must be said as "normal".
  constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};  // times of 0 stay as they are
  info.FileAttributes = (attributes & kSettable) != 0 ? (attributes & kSettable) : FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(file.Handle(), FileBasicInfo, &info, sizeof info) != 0;
}

namespace {

// Letters and digits that differ from call to call and from process to
// process; the exclusive create behind them does the rest.
void AppendRandomLetters(TextBuffer& text, int count) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static LONG calls = 0;
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  unsigned long long bits = static_cast<unsigned long long>(counter.QuadPart) ^
                            (static_cast<unsigned long long>(::GetCurrentProcessId()) << 40) ^
                            (static_cast<unsigned long long>(::InterlockedIncrement(&calls)) * 0x9E3779B97F4A7C15ull);
  for (int i = 0; i < count; ++i, bits /= 62) text.Append(kLetters[bits % 62]);
}

}  // namespace

OutputFolder::OutputFolder(std::string_view folder) : open_(true), path_(folder) {
  if (path_.Truncated()) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    open_ = false;
  }
}

OutputFolder::~OutputFolder() = default;

bool OutputFolder::CreateUnique(std::string_view name, FileHandle& file, TextBuffer& uniqueName) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    uniqueName.Clear();
    uniqueName.Append('.').Append(name).Append(".arcset-");
    AppendRandomLetters(uniqueName, 6);
    PathText path(path_.View());
    path.Append(uniqueName.View());
    if (uniqueName.Truncated() || path.Truncated()) {
      ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
    // CREATE_NEW fails on any entry of that name, a link included.
    file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return true;
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool OutputFolder::OpenRegular(std::string_view name, FileHandle& file, int& systemError) {
  PathText path(path_.View());
  path.Append(name);
  // The link itself rather than what it points to: a link is refused below.
  file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    systemError = static_cast<int>(::GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(file, &info) != 0;
  if (!known || ::GetFileType(file) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    systemError = known ? 0 : static_cast<int>(::GetLastError());
    ::CloseHandle(file);
    return false;
  }
  return true;
}

bool OutputFolder::Replace(std::string_view from, std::string_view to) {
  PathText source(path_.View()), target(path_.View());
  source.Append(from);
  target.Append(to);
  return ::MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool OutputFolder::Remove(std::string_view name) {
  PathText path(path_.View());
  path.Append(name);
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return ::DeleteFileA(path.c_str()) != 0;
}

}  // namespace bzip2arc::platform
