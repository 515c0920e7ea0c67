#include "Folders.h"

#include <cstring>
#include <cwchar>

#include "Globals.h"
#include "Text.h"

namespace {

class FindSearch {
 public:
  FindSearch(const char* pattern, WIN32_FIND_DATAA& data) : handle_(FindFirstFileA(pattern, &data)) {}
  FindSearch(const wchar_t* pattern, WIN32_FIND_DATAW& data) : handle_(FindFirstFileW(pattern, &data)) {}
  ~FindSearch() {
    if (Started()) FindClose(handle_);
  }
  FindSearch(const FindSearch&) = delete;
  FindSearch& operator=(const FindSearch&) = delete;

  bool Started() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA& data) { return FindNextFileA(handle_, &data) != FALSE; }

 private:
  HANDLE handle_;
};

bool JoinPath(char* path, const char* folder, const char* name) {
  return JoinText(path, kPathCapacity, folder, "\\") && AppendText(path, kPathCapacity, name);
}

// One entry of a folder being deleted; true when it went.
bool DeleteEntry(const char* folder, const WIN32_FIND_DATAA& entry, bool RemoveFolders) {
  char path[kPathCapacity];
  // A cut path would name something else: leave the entry instead.
  if (!JoinPath(path, folder, entry.cFileName)) return false;
  const DWORD attributes = entry.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A junction or symbolic link: remove the link, never what it points at.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return !RemoveFolders || RemoveDirectoryA(path) != FALSE;
    return DeleteFileA(path) != FALSE;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return DeleteFolder(path, RemoveFolders);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
  return DeleteFileA(path) != FALSE;
}

// The listing's entries for the folder itself and its parent.
bool IsSelfOrParent(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// The last occurrence of `character` in `text`, or null.
wchar_t* FindLastChar(wchar_t* text, wchar_t character) {
  for (wchar_t* at = text + std::wcslen(text); at != text;) {
    if (*--at == character) return at;
  }
  return nullptr;
}

// The file system's name of the path's last component, in its stored letter
// case and in the ANSI code page: the long name where ToAnsi takes it, else
// the short 8.3 one; NotRepresentable when neither converts. An empty name
// (and None) when the file system reports nothing.
PathProblem LongName(const wchar_t* path, char* name, std::size_t capacity) {
  WIN32_FIND_DATAW data;
  FindSearch search(path, data);
  CopyText(name, capacity, "");
  if (!search.Started()) return PathProblem::None;
  // The long name unless the ANSI code page lacks one of its characters.
  if (data.cFileName[0] != L'\0' && ToAnsi(data.cFileName, name, capacity) == PathProblem::None) return PathProblem::None;
  if (data.cAlternateFileName[0] != L'\0') return ToAnsi(data.cAlternateFileName, name, capacity);
  return ToAnsi(data.cFileName, name, capacity);
}

}  // namespace

bool FolderExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveEmptyFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY &&
         RemoveDirectoryA(path) != FALSE;
}

bool FolderHold::Take(const char* folder) {
  Release();
  // Write access shared with nobody makes a second hold fail; read access
  // shared lets Setup.bin list the folder, which a hold with delete access
  // would refuse to every opener that does not share deletion. The link
  // itself, if it is one, not its target.
  handle_ = CreateFileA(folder, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION information;
  if (handle_ != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle_, &information) &&
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          FILE_ATTRIBUTE_DIRECTORY) {
    return true;
  }
  Release();
  return false;
}

void FolderHold::Release() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

PathProblem LongPath(const wchar_t* path, char* result, std::size_t capacity) {
  wchar_t text[kPathCapacity];
  // The components after the head, built from the back.
  char tail[2 * kPathCapacity];
  char* start = tail + sizeof tail - 1;
  *start = '\0';
  CopyText(result, capacity, "");
  if (std::wcslen(path) >= kPathCapacity) return PathProblem::TooLong;
  std::wcscpy(text, path);
  for (wchar_t* separator = FindLastChar(text, L'\\'); separator != nullptr; separator = FindLastChar(text, L'\\')) {
    char name[kPathCapacity];
    PathProblem problem = LongName(text, name, sizeof name);
    if (problem == PathProblem::None && name[0] == '\0') problem = ToAnsi(separator + 1, name, sizeof name);
    if (problem != PathProblem::None) return problem;
    const std::size_t length = std::strlen(name);
    if (length + 1 > static_cast<std::size_t>(start - tail)) return PathProblem::TooLong;
    start -= length;
    std::memcpy(start, name, length);
    *--start = '\\';
    *separator = L'\0';
  }
  char head[kPathCapacity];
  if (const PathProblem problem = ToAnsi(text, head, sizeof head); problem != PathProblem::None) return problem;
  if (JoinText(result, capacity, head, start)) return PathProblem::None;
  CopyText(result, capacity, "");
  return PathProblem::TooLong;
}

bool DeleteFolder(const char* folder, bool RemoveFolders) {
  const DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return !RemoveFolders || RemoveDirectoryA(folder) != FALSE;
  bool ok = true;
  char pattern[kPathCapacity];
  if (JoinText(pattern, sizeof pattern, folder, "\\*.*")) {
    WIN32_FIND_DATAA entry;
    FindSearch search(pattern, entry);
    for (bool more = search.Started(); more; more = search.Next(entry)) {
      // Any other name, ".hidden" too, is the set's and must go.
      if (IsSelfOrParent(entry.cFileName)) continue;
      ok = DeleteEntry(folder, entry, RemoveFolders) && ok;
    }
  }
  if (RemoveFolders) return RemoveDirectoryA(folder) != FALSE;
  return ok;
}
