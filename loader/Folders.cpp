#include "Folders.h"

#include <cstring>

#include "Globals.h"
#include "Text.h"

namespace {

class FindSearch {
 public:
  FindSearch(const char* pattern, WIN32_FIND_DATAA& data) : handle_(FindFirstFileA(pattern, &data)) {}
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

// The last occurrence of `character` in `text`, or null.
char* FindLastChar(char* text, char character) {
  for (char* at = text + std::strlen(text); at != text;) {
    if (*--at == character) return at;
  }
  return nullptr;
}

// The file system's name of the path's last component, in its stored letter
// case, into `name`; false (name empty) when the file system reports none.
bool LongName(const char* path, char* name, std::size_t capacity) {
  WIN32_FIND_DATAA data;
  FindSearch search(path, data);
  CopyText(name, capacity, "");
  if (!search.Started()) return false;
  const char* found = data.cFileName[0] != '\0' ? data.cFileName : data.cAlternateFileName;
  return CopyText(name, capacity, found) && name[0] != '\0';
}

}  // namespace

bool FolderExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool LongPath(const char* path, char* result, std::size_t capacity) {
  char text[kPathCapacity];
  // The components after the head, built from the back.
  char tail[2 * kPathCapacity];
  char* start = tail + sizeof tail - 1;
  *start = '\0';
  CopyText(result, capacity, "");
  if (!CopyText(text, sizeof text, path)) return false;
  for (char* separator = FindLastChar(text, '\\'); separator != nullptr; separator = FindLastChar(text, '\\')) {
    char name[kPathCapacity];
    const char* component = LongName(text, name, sizeof name) ? name : separator + 1;
    const std::size_t length = std::strlen(component);
    if (length + 1 > static_cast<std::size_t>(start - tail)) return false;
    start -= length;
    std::memcpy(start, component, length);
    *--start = '\\';
    *separator = '\0';
  }
  if (JoinText(result, capacity, text, start)) return true;
  CopyText(result, capacity, "");
  return false;
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
      if (entry.cFileName[0] == '.') continue;
      ok = DeleteEntry(folder, entry, RemoveFolders) && ok;
    }
  }
  if (RemoveFolders) return RemoveDirectoryA(folder) != FALSE;
  return ok;
}
